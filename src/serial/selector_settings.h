#pragma once

#include <QString>

// Line settings as the four selectors show them.
struct SelectorSettings {
    // Baud rate, parity letter, data bits and stop bits joined by commas, the
    // texts taken as they stand.
    QString settings;
    QString parityLetter;
};

// A parity entry's name, exactly as listed, gives its letter; any other text
// keeps the previous letter.
SelectorSettings settingsFromSelectors(const QString& baud, const QString& parity,
                                       const QString& dataBits, const QString& stopBits,
                                       const QString& previousLetter);
