#include "transmit/line_end.h"

namespace {

struct Entry {
    LineEnd end;
    const char* name;
    const char* caption;
    const char* suffix;
    char16_t lineBreak;
};

constexpr Entry Entries[] = {
    {LineEnd::CrLf, "crlf", "CR LF", "\r\n", u'\n'},
    {LineEnd::Cr, "cr", "CR", "\r", u'\r'},
    {LineEnd::Lf, "lf", "LF", "\n", u'\n'},
    {LineEnd::None, "none", "None", "", u'\n'},
};

const Entry& entry(LineEnd end) {
    for (const Entry& known : Entries)
        if (known.end == end)
            return known;
    return Entries[0];
}

} // namespace

QString lineEndName(LineEnd end) {
    return QLatin1String(entry(end).name);
}

std::optional<LineEnd> lineEndNamed(QStringView name) {
    for (const Entry& known : Entries)
        if (name == QLatin1String(known.name))
            return known.end;
    return std::nullopt;
}

QString lineEndCaption(LineEnd end) {
    return QLatin1String(entry(end).caption);
}

QString lineEndSuffix(LineEnd end) {
    return QLatin1String(entry(end).suffix);
}

QString withLineBreaks(QStringView boxText, LineEnd end) {
    QString text = boxText.toString().remove(u'\r');
    text.replace(u'\n', QChar(entry(end).lineBreak));
    return text;
}
