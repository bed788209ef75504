#include "receive/render_batch.h"

#include "platform/code_page.h"

#include <QByteArray>

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

QString renderBatch(QByteArrayView bytes, bool asText, PendingLead& lead) {
    if (!asText)
        return hexText(bytes);

    QByteArray joined;
    if (lead.held) {
        joined.reserve(bytes.size() + 1);
        joined.append(static_cast<char>(lead.lead));
        joined.append(bytes);
        bytes = joined;
    }
    int held = -1;
    QString text = decodeAnsiPiece(bytes, &held);
    lead.held = held >= 0;
    if (lead.held)
        lead.lead = held;
    return text;
}
