#pragma once

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <thread>

// Runs the event loop until the condition holds or the deadline passes;
// returns whether it holds.
template <typename Condition> bool waitUntil(Condition condition, int milliseconds = 5000) {
    const QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QEventLoop loop;
        QTimer::singleShot(2, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// Waits until another thread makes the condition hold, or the deadline
// passes, without running the event loop: what that thread posts meanwhile
// stays unhandled.
template <typename Condition> bool waitOffTheLoop(Condition condition, int milliseconds = 5000) {
    const QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        std::this_thread::yield();
    }
    return true;
}
