#include "transmit/interval.h"

#include <charconv>
#include <cmath>
#include <string>

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The longest prefix of `s` that is a number, in the form from_chars reads.
std::string numberPrefix(const std::string& s) {
    std::size_t at = 0;
    std::string number;
    if (at < s.size() && (s[at] == '+' || s[at] == '-'))
        number += s[at++];
    std::size_t digits = 0;
    for (; at < s.size() && isDigit(s[at]); ++at, ++digits)
        number += s[at];
    if (at < s.size() && s[at] == '.') {
        number += s[at++];
        for (; at < s.size() && isDigit(s[at]); ++at, ++digits)
            number += s[at];
    }
    if (digits == 0)
        return {};
    if (at < s.size() && (s[at] == 'E' || s[at] == 'e' || s[at] == 'D' || s[at] == 'd')) {
        std::size_t next = at + 1;
        std::string exponent = "e";
        if (next < s.size() && (s[next] == '+' || s[next] == '-'))
            exponent += s[next++];
        if (next < s.size() && isDigit(s[next])) {
            for (; next < s.size() && isDigit(s[next]); ++next)
                exponent += s[next];
            number += exponent;
        }
    }
    return number;
}

} // namespace

std::optional<double> readLeadingNumber(QStringView text) {
    std::string compact;
    for (QChar c : text) {
        if (c == u' ' || c == u'\t' || c == u'\n')
            continue;
        // Nothing beyond ASCII can continue a number.
        compact += c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : '\x7F';
    }
    std::string number = numberPrefix(compact);
    if (number.empty())
        return 0.0;
    // from_chars takes no leading '+'.
    if (number.front() == '+')
        number.erase(0, 1);
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc())
        return std::nullopt;
    return value;
}

std::optional<std::int16_t> repeatIntervalFrom(QStringView text) {
    const auto number = readLeadingNumber(text);
    if (!number)
        return std::nullopt;
    // The default rounding mode rounds halves to even.
    const double rounded = std::nearbyint(*number);
    if (!(rounded >= 1 && rounded <= 32767))
        return std::nullopt;
    return static_cast<std::int16_t>(rounded);
}
