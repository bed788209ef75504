#pragma once

#include <QtGlobal>

// When received bytes came off the line. Each read of the driver is one
// arrival: how many bytes it took, after those of the arrivals before it, and
// the system's clock at that moment. An arrival of no bytes is a silence: the
// frame gap passed with nothing more after the bytes before it.
struct Arrival {
    qsizetype size = 0;
    qint64 msecsSinceEpoch = 0;
    bool operator==(const Arrival&) const = default;
};
