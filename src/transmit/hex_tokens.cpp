#include "transmit/hex_tokens.h"

namespace {

bool isSeparator(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

int hexDigit(QChar c) {
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    return -1;
}

// The value of a token of hex digits up to FF, or -1.
int byteValue(QStringView token) {
    int value = 0;
    for (QChar c : token) {
        const int digit = hexDigit(c);
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
        if (value > 0xFF)
            return -1;
    }
    return value;
}

} // namespace

HexTokens readHexTokens(QStringView text) {
    HexTokens result;
    qsizetype at = 0;
    while (at < text.size()) {
        while (at < text.size() && isSeparator(text[at]))
            ++at;
        const qsizetype start = at;
        while (at < text.size() && !isSeparator(text[at]))
            ++at;
        if (at == start)
            break;
        const QStringView token = text.sliced(start, at - start);
        const int value = byteValue(token);
        if (value < 0)
            result.refused << token.toString();
        else
            result.bytes.append(static_cast<char>(value));
    }
    return result;
}
