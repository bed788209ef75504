#pragma once

#include <QObject>

// A window timer such as `Timer1`: while enabled with an interval above 0 it
// ticks every interval, the first tick one interval after it was enabled.
class Timer : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Milliseconds, 0 to 65535; 0 never ticks.
    virtual void setInterval(int milliseconds) = 0;
    virtual int interval() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool enabled() const = 0;

signals:
    void tick();
};
