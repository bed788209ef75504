#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// Baud rate, parity, data bits and stop bits of a serial line.
struct LineSettings {
    enum class Parity { None, Odd, Even, Mark, Space };
    enum class StopBits { One, OneAndHalf, Two };

    int baudRate = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    StopBits stopBits = StopBits::One;

    friend bool operator==(const LineSettings&, const LineSettings&) = default;
};

// Reads a settings string of four comma-separated fields, for instance
// "9600,N,8,1": baud rate (a positive integer), parity letter (N, O, E, M or S,
// either case), data bits (5 to 8) and stop bits (1, 1.5 or 2). Gives nothing,
// and the reason in *why, when any field cannot be used.
std::optional<LineSettings> parseLineSettings(QStringView text, QString* why = nullptr);

// The canonical string of settings, such as "9600,N,8,1".
QString formatLineSettings(const LineSettings& settings);
