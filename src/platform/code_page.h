#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

// Text meets bytes (serial text, files, the log) in one of three encodings,
// converted by ICU: code page 936, the Simplified Chinese ANSI code page
// (GBK, ICU's windows-936 table), the default; UTF-8; and Latin-1.
enum class TextEncoding { Gbk, Utf8, Latin1 };
inline constexpr TextEncoding TextEncodings[] = {TextEncoding::Gbk, TextEncoding::Utf8,
                                                 TextEncoding::Latin1};

// "gbk", "utf-8", "latin-1": the encoding's name on the command line and in
// the settings.
QString textEncodingName(TextEncoding encoding);
std::optional<TextEncoding> textEncodingNamed(QStringView name);
// What the user reads: "GBK (code page 936)", "UTF-8", "Latin-1".
QString textEncodingCaption(TextEncoding encoding);

// Decodes complete text: U+FFFD for what does not decode, including a
// character cut short at the very end. In UTF-8, each byte that is not part
// of a well-formed sequence gives one U+FFFD.
QString decodeText(QByteArrayView bytes, TextEncoding encoding);

// Decodes a piece of a byte stream: like decodeText, except that the start of
// a character at the very end (a GBK lead byte, up to three bytes of a UTF-8
// sequence) is not decoded; *pending is set to how many bytes that is, so
// that the caller can put them in front of the next piece.
QString decodeTextPiece(QByteArrayView bytes, TextEncoding encoding, qsizetype* pending);

// Encodes text; a character that the encoding lacks becomes '?'.
QByteArray encodeText(QStringView text, TextEncoding encoding);

// Where the first character that the encoding cannot carry starts in the
// text (a UTF-16 index), or -1 when it can carry all of it.
qsizetype unencodableAt(QStringView text, TextEncoding encoding);

// Code page 936, as the program has always used it.
inline QString decodeAnsi(QByteArrayView bytes) {
    return decodeText(bytes, TextEncoding::Gbk);
}
inline QByteArray encodeAnsi(QStringView text) {
    return encodeText(text, TextEncoding::Gbk);
}
