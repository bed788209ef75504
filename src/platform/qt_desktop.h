#pragma once

#include "platform/desktop.h"
#include "platform/timer.h"

#include <QTimer>

class QtShell final : public Shell {
public:
    void open(const QString& address) override;
};

class QtEventLoop final : public EventLoop {
public:
    void yield() override;
};

// The repeat timer on a precise QTimer.
class QtTimer final : public Timer {
    Q_OBJECT

public:
    explicit QtTimer(QObject* parent = nullptr);
    void setInterval(int milliseconds) override;
    int interval() const override { return m_interval; }
    void setEnabled(bool enabled) override;
    bool enabled() const override { return m_enabled; }

private:
    void restart();

    QTimer m_timer;
    int m_interval = 1000;
    bool m_enabled = false;
};
