#pragma once

#include <QObject>

#include <ctime>

class QSocketNotifier;

// SIGINT, SIGTERM and SIGHUP, told on the window's thread instead of ending
// the program at once, so that it can end as closing its window does: the
// port read and closed, the capture written. A second signal ends it at once;
// so does the first, `deadlineMs` after it came, when the program has not
// ended by then (0: no deadline). One instance at a time; the signals'
// earlier handling comes back when it goes.
class QuitSignals : public QObject {
    Q_OBJECT

public:
    explicit QuitSignals(int deadlineMs = 0, QObject* parent = nullptr);
    ~QuitSignals() override;

signals:
    void received(int signal);

private:
    QSocketNotifier* m_notifier = nullptr;
    bool m_deadline = false;
};
