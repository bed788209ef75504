#pragma once

#include <QStringView>

#include <cstdint>
#include <optional>

// The leading number of a text: blanks, tabs and line feeds are ignored
// wherever they stand; an optional sign, digits, a decimal point with more
// digits, and an exponent (E or D, optional sign, digits). Reading stops at
// the first character that cannot continue the number; no number reads 0.
// Nothing is returned for a number beyond the range of a double.
std::optional<double> readLeadingNumber(QStringView text);

// The repeat interval that the interval box asks for, in milliseconds:
// its number rounded to the nearest integer (halves to even), when that is 1
// to 32767.
std::optional<std::int16_t> repeatIntervalFrom(QStringView text);
