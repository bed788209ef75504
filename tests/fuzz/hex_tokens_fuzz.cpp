// Hex sends: every byte read comes from a token of hex digits worth at most
// FF, and every token is either a byte or refused.
#include "transmit/hex_tokens.h"

#include <QRegularExpression>
#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const HexTokens tokens = readHexTokens(text);

    static const QRegularExpression separators(QStringLiteral("[ \\t\\r\\n]+"));
    static const QRegularExpression hexDigits(QStringLiteral("^[0-9A-Fa-f]+$"));
    const QStringList all = text.split(separators, Qt::SkipEmptyParts);
    if (all.size() != tokens.bytes.size() + tokens.refused.size())
        std::abort();
    qsizetype byte = 0;
    for (const QString& token : all) {
        bool ok = false;
        const unsigned value = hexDigits.match(token).hasMatch() ? token.toUInt(&ok, 16) : 0;
        const bool isByte = ok && value <= 0xFF;
        if (isByte && static_cast<unsigned char>(tokens.bytes.at(byte++)) != value)
            std::abort();
    }
    if (byte != tokens.bytes.size())
        std::abort();
    return 0;
}
