#pragma once

#include "platform/timer.h"

class QSocketNotifier;

// The repeat timer on a kernel interval timer: its ticks keep their cadence
// to the microsecond, where the event loop's own timers drift by up to a
// millisecond per tick and would lose one tick in ten of a 1 ms repeat.
class QtTimer final : public Timer {
    Q_OBJECT

public:
    explicit QtTimer(QObject* parent = nullptr);
    ~QtTimer() override;
    void setInterval(int milliseconds) override;
    int interval() const override { return m_interval; }
    void setEnabled(bool enabled) override;
    bool enabled() const override { return m_enabled; }

private:
    void restart();

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    int m_interval = 1000;
    bool m_enabled = false;
};
