#pragma once

#include <QDateTime>
#include <QtGlobal>

#include <optional>

// Where the stamps' time comes from. The system's clock says where the stamps
// start; a steady clock then says how far they move, so that two lines 5 ms
// apart carry stamps 5 ms apart even while the system's clock is adjusted.
// When the two clocks part by more than a second (the system's clock was set,
// the machine slept), the stamps start again from the system's clock.
class StampClock {
public:
    static constexpr qint64 MaxDriftMs = 1000;

    // The stamp's time, in milliseconds since the epoch, from both clocks'
    // readings now.
    qint64 at(qint64 systemMs, qint64 steadyMs);

private:
    // The system's clock less the steady one, where the stamps started.
    std::optional<qint64> m_offset;
};

// Now, for a stamp: a StampClock on this machine's clocks, one per thread.
QDateTime stampTime();
