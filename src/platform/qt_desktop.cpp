#include "platform/qt_desktop.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>

#include <algorithm>

void QtShell::open(const QString& address) {
    QDesktopServices::openUrl(QUrl(address));
}

void QtEventLoop::yield() {
    QCoreApplication::processEvents();
}

QtTimer::QtTimer(QObject* parent)
    : Timer(parent) {
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Timer::tick);
}

void QtTimer::setInterval(int milliseconds) {
    m_interval = std::clamp(milliseconds, 0, 65535);
    restart();
}

void QtTimer::setEnabled(bool enabled) {
    m_enabled = enabled;
    restart();
}

// Any change starts the count of a full interval afresh.
void QtTimer::restart() {
    if (m_enabled && m_interval > 0)
        m_timer.start(m_interval);
    else
        m_timer.stop();
}
