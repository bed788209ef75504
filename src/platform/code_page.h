#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Text meets bytes (serial text, files, the log) in code page 936, the
// Simplified Chinese ANSI code page (GBK), through ICU's windows-936 table.

// Decodes complete text: U+FFFD for what does not decode, including a lead
// byte at the very end.
QString decodeAnsi(QByteArrayView bytes);

// Decodes a piece of a byte stream: like decodeAnsi, except that a lead byte at
// the end is not decoded; *heldLead is set to it (or to -1 when there is none)
// so that the caller can put it in front of the next piece.
QString decodeAnsiPiece(QByteArrayView bytes, int* heldLead);

// Encodes text; a character that the code page lacks becomes '?'.
QByteArray encodeAnsi(QStringView text);
