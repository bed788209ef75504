#pragma once

#include <QString>

#include <cstdint>

// The variables that all handlers of the window share; one set per window,
// and the program has one window.
struct Module1 {
    // 1 while the window shows the port open, 0 while it shows it closed.
    std::int16_t portState = 0;
    // The selected port, 1 to 15.
    std::int16_t currentPort = 0;
    // Line settings for the next configuration, such as "9600,N,8,1".
    QString commSettings;
    // "N", "O" or "E", from the parity selector.
    QString parityLetter;
    // Repeat period in milliseconds.
    std::int16_t repeatInterval = 0;
    // 1: send the send box as text; 0: as hexadecimal bytes.
    std::int32_t sendAsText = 0;
    // 1: show received data as text; 0: as hexadecimal bytes.
    std::int32_t showAsText = 0;
    // 1 while repeat sending runs.
    std::int32_t repeatActive = 0;
    // While "CR" is ticked, what the "Line end" selector adds (CR LF at
    // start); else empty.
    QString lineEnding;
};
