#include "receive/render_batch.h"

#include <QByteArray>

#include <algorithm>

namespace {

QString hexText(QByteArrayView bytes) {
    static constexpr char16_t digits[] = u"0123456789ABCDEF";
    QString text(bytes.size() * 4, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        *out++ = digits[value >> 4];
        *out++ = digits[value & 0x0F];
        *out++ = u' ';
        *out++ = u'\r';
    }
    return text;
}

} // namespace

QString renderBatch(QByteArrayView bytes, bool asText, PendingLead& lead, TextEncoding encoding) {
    if (!asText)
        return hexText(bytes);

    QByteArray joined;
    if (lead.held) {
        joined.reserve(lead.size + bytes.size());
        joined.append(lead.waiting());
        joined.append(bytes);
        bytes = joined;
    }
    qsizetype pending = 0;
    QString text = decodeTextPiece(bytes, encoding, &pending);
    // Never more than a character's start: what ICU holds is the end of the bytes.
    pending = std::min<qsizetype>(pending, lead.bytes.size());
    lead.held = pending > 0;
    lead.size = pending;
    std::copy(bytes.end() - pending, bytes.end(), lead.bytes.begin());
    return text;
}
