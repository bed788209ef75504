#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

// A named send that goes out with one key or click, as the Send button sends
// the send box.
struct QuickSend {
    QString name;
    bool hex = false;
    // What goes out: the text itself, or hex bytes separated by spaces.
    QString data;

    bool operator==(const QuickSend&) const = default;
};

inline constexpr int MaxQuickSends = 24;

// A file of quick sends, read: the sends, or the first line that is none and
// why; then nothing of the file is taken.
struct QuickSendFile {
    std::vector<QuickSend> sends;
    int faultLine = 0;
    QString fault;

    bool ok() const { return faultLine == 0; }
};

// The file is UTF-8, one send a line: the name, a tab, "text" or "hex", a
// tab, then the data. Text data takes the escapes \r, \n, \t, \\ and \xHH (the
// character U+00HH); hex data is hex bytes separated by spaces. Lines that
// start with '#', and blank ones, are skipped; a CR before the line feed is
// allowed, and so is a byte-order mark.
QuickSendFile readQuickSends(QByteArrayView file);
// The file for these sends, a comment line first.
QByteArray writeQuickSends(const std::vector<QuickSend>& sends);

// One line of the file, without its line break, and back.
std::optional<QuickSend> readQuickSendLine(QStringView line, QString* fault);
QString quickSendLine(const QuickSend& send);

// Text data as the file writes it, escapes and all.
QString escapeQuickSendText(QStringView text);

// Why the send cannot be kept as a line of the file, or nothing when it can.
QString quickSendFault(const QuickSend& send);
