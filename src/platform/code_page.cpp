#include "platform/code_page.h"

#include <unicode/ucnv.h>

#include <memory>
#include <stdexcept>

namespace {

struct ConverterClose {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterClose>;

// One converter per thread, reset before every use: opening one costs more
// than converting a short batch.
UConverter* converter() {
    thread_local Converter cached = [] {
        UErrorCode status = U_ZERO_ERROR;
        Converter opened(ucnv_open("windows-936", &status));
        if (U_FAILURE(status))
            throw std::runtime_error("ICU has no windows-936 converter");
        return opened;
    }();
    ucnv_reset(cached.get());
    return cached.get();
}

bool isAscii(QByteArrayView bytes) {
    for (char byte : bytes)
        if (static_cast<unsigned char>(byte) >= 0x80)
            return false;
    return true;
}

QString toUnicode(QByteArrayView bytes, bool flush, int* heldLead) {
    if (heldLead)
        *heldLead = -1;
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);

    UConverter* cnv = converter();
    // A double-byte character never takes more than one UTF-16 unit per byte.
    QString text(bytes.size() + 1, Qt::Uninitialized);
    auto* target = reinterpret_cast<UChar*>(text.data());
    const char* source = bytes.data();
    UErrorCode status = U_ZERO_ERROR;
    ucnv_toUnicode(cnv, &target, target + text.size(), &source, bytes.data() + bytes.size(),
                   nullptr, flush, &status);
    text.truncate(target - reinterpret_cast<UChar*>(text.data()));
    if (!flush && heldLead && ucnv_toUCountPending(cnv, &status) > 0)
        *heldLead = static_cast<unsigned char>(bytes.back());
    return text;
}

} // namespace

QString decodeAnsi(QByteArrayView bytes) {
    return toUnicode(bytes, true, nullptr);
}

QString decodeAnsiPiece(QByteArrayView bytes, int* heldLead) {
    return toUnicode(bytes, false, heldLead);
}

QByteArray encodeAnsi(QStringView text) {
    QByteArray bytes(text.size() * 2 + 1, Qt::Uninitialized);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = ucnv_fromUChars(converter(), bytes.data(), int32_t(bytes.size()),
                                           reinterpret_cast<const UChar*>(text.utf16()),
                                           int32_t(text.size()), &status);
    bytes.truncate(U_SUCCESS(status) ? length : 0);
    return bytes;
}
