#pragma once

#include <QByteArray>
#include <QStringList>
#include <QStringView>

// The bytes of a hex send and the tokens that are not bytes.
struct HexTokens {
    QByteArray bytes;
    QStringList refused;
};

// Reads space-separated hexadecimal byte values. Tokens are separated by runs
// of spaces, tabs and line breaks; a token is hex digits only (either case,
// any count) with a value up to FF. Other tokens are refused, in order.
HexTokens readHexTokens(QStringView text);
