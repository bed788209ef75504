#include "platform/code_page.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <array>
#include <memory>
#include <stdexcept>

namespace {

struct Encoding {
    TextEncoding encoding;
    const char* name;
    const char* caption;
    const char* icu;
};

constexpr Encoding Encodings[] = {
    {TextEncoding::Gbk, "gbk", "GBK (code page 936)", "windows-936"},
    {TextEncoding::Utf8, "utf-8", "UTF-8", "UTF-8"},
    {TextEncoding::Latin1, "latin-1", "Latin-1", "ISO-8859-1"},
};

const Encoding& entry(TextEncoding encoding) {
    for (const Encoding& known : Encodings)
        if (known.encoding == encoding)
            return known;
    return Encodings[0];
}

// One U+FFFD for each byte ICU finds no character in, where its own choice
// would be one for a whole ill-formed sequence.
void replaceEachByte(const void*, UConverterToUnicodeArgs* args, const char*, int32_t length,
                     UConverterCallbackReason reason, UErrorCode* status) {
    if (reason > UCNV_IRREGULAR)
        return;
    *status = U_ZERO_ERROR;
    static constexpr UChar replacement = 0xFFFD;
    for (int32_t i = 0; i < length && U_SUCCESS(*status); ++i)
        ucnv_cbToUWriteUChars(args, &replacement, 1, 0, status);
}

struct ConverterClose {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterClose>;

Converter open(TextEncoding encoding) {
    UErrorCode status = U_ZERO_ERROR;
    Converter opened(ucnv_open(entry(encoding).icu, &status));
    if (U_FAILURE(status))
        throw std::runtime_error(std::string("ICU has no converter for ") + entry(encoding).icu);
    if (encoding == TextEncoding::Utf8)
        ucnv_setToUCallBack(opened.get(), replaceEachByte, nullptr, nullptr, nullptr, &status);
    ucnv_setSubstChars(opened.get(), "?", 1, &status);
    return opened;
}

// One converter per encoding and thread, reset before every use: opening one
// costs more than converting a short batch.
UConverter* converter(TextEncoding encoding) {
    thread_local std::array<Converter, std::size(Encodings)> cached;
    Converter& slot = cached[static_cast<std::size_t>(encoding)];
    if (!slot)
        slot = open(encoding);
    ucnv_reset(slot.get());
    return slot.get();
}

bool isAscii(QByteArrayView bytes) {
    for (char byte : bytes)
        if (static_cast<unsigned char>(byte) >= 0x80)
            return false;
    return true;
}

QString toUnicode(QByteArrayView bytes, TextEncoding encoding, bool flush, qsizetype* pending) {
    if (pending)
        *pending = 0;
    if (encoding == TextEncoding::Latin1 || isAscii(bytes))
        return QString::fromLatin1(bytes);

    UConverter* cnv = converter(encoding);
    // No encoding here takes more than one UTF-16 unit per byte, U+FFFD
    // included.
    QString text(bytes.size() + 1, Qt::Uninitialized);
    auto* target = reinterpret_cast<UChar*>(text.data());
    const char* source = bytes.data();
    UErrorCode status = U_ZERO_ERROR;
    ucnv_toUnicode(cnv, &target, target + text.size(), &source, bytes.data() + bytes.size(),
                   nullptr, flush, &status);
    text.truncate(target - reinterpret_cast<UChar*>(text.data()));
    if (!flush && pending) {
        const int32_t held = ucnv_toUCountPending(cnv, &status);
        *pending = U_SUCCESS(status) && held > 0 ? held : 0;
    }
    return text;
}

} // namespace

QString textEncodingName(TextEncoding encoding) {
    return QLatin1String(entry(encoding).name);
}

std::optional<TextEncoding> textEncodingNamed(QStringView name) {
    for (const Encoding& known : Encodings)
        if (name == QLatin1String(known.name))
            return known.encoding;
    return std::nullopt;
}

QString textEncodingCaption(TextEncoding encoding) {
    return QLatin1String(entry(encoding).caption);
}

QString decodeText(QByteArrayView bytes, TextEncoding encoding) {
    return toUnicode(bytes, encoding, true, nullptr);
}

QString decodeTextPiece(QByteArrayView bytes, TextEncoding encoding, qsizetype* pending) {
    return toUnicode(bytes, encoding, false, pending);
}

QByteArray encodeText(QStringView text, TextEncoding encoding) {
    UConverter* cnv = converter(encoding);
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setFromUCallBack(cnv, UCNV_FROM_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr, &status);
    QByteArray bytes(UCNV_GET_MAX_BYTES_FOR_STRING(text.size(), ucnv_getMaxCharSize(cnv)),
                     Qt::Uninitialized);
    const int32_t length = ucnv_fromUChars(cnv, bytes.data(), int32_t(bytes.size()),
                                           reinterpret_cast<const UChar*>(text.utf16()),
                                           int32_t(text.size()), &status);
    bytes.truncate(U_SUCCESS(status) ? length : 0);
    return bytes;
}

qsizetype unencodableAt(QStringView text, TextEncoding encoding) {
    UConverter* cnv = converter(encoding);
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setFromUCallBack(cnv, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    const auto* begin = reinterpret_cast<const UChar*>(text.utf16());
    const UChar* source = begin;
    // What converts is not kept: only where it stops matters.
    std::array<char, 4096> scratch;
    do {
        status = U_ZERO_ERROR;
        char* target = scratch.data();
        ucnv_fromUnicode(cnv, &target, scratch.data() + scratch.size(), &source,
                         begin + text.size(), nullptr, true, &status);
    } while (status == U_BUFFER_OVERFLOW_ERROR);
    if (U_SUCCESS(status))
        return -1;
    std::array<UChar, 4> invalid;
    int8_t length = invalid.size();
    UErrorCode ignored = U_ZERO_ERROR;
    ucnv_getInvalidUChars(cnv, invalid.data(), &length, &ignored);
    return (source - begin) - (U_SUCCESS(ignored) ? length : 0);
}
