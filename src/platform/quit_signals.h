#pragma once

#include <QObject>

class QSocketNotifier;

// SIGINT, SIGTERM and SIGHUP, told on the window's thread instead of ending
// the program at once, so that it can end as closing its window does: the
// port read and closed, the capture flushed. One instance at a time; the
// signals' earlier handling comes back when it goes.
class QuitSignals : public QObject {
    Q_OBJECT

public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

signals:
    void received(int signal);

private:
    QSocketNotifier* m_notifier = nullptr;
};
