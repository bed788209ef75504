#pragma once

#include <QString>

// The desktop's handler for web addresses.
class Shell {
public:
    virtual ~Shell() = default;
    virtual void open(const QString& address) = 0;
};

// The window's event loop, for handlers that let pending events run.
class EventLoop {
public:
    virtual ~EventLoop() = default;
    // Processes all pending events once, then returns.
    virtual void yield() = 0;
    // Processes pending events, first waiting for one when there is none.
    virtual void wait() = 0;
};
