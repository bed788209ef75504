#include "platform/line_settings.h"

#include <QList>

#include <algorithm>

namespace {

std::optional<LineSettings::Parity> parityFromLetter(QStringView field) {
    if (field.size() != 1)
        return std::nullopt;
    switch (field[0].toUpper().unicode()) {
    case 'N':
        return LineSettings::Parity::None;
    case 'O':
        return LineSettings::Parity::Odd;
    case 'E':
        return LineSettings::Parity::Even;
    case 'M':
        return LineSettings::Parity::Mark;
    case 'S':
        return LineSettings::Parity::Space;
    default:
        return std::nullopt;
    }
}

std::optional<LineSettings::StopBits> stopBitsFrom(QStringView field) {
    if (field == u"1")
        return LineSettings::StopBits::One;
    if (field == u"1.5")
        return LineSettings::StopBits::OneAndHalf;
    if (field == u"2")
        return LineSettings::StopBits::Two;
    return std::nullopt;
}

bool allDigits(QStringView field) {
    return !field.isEmpty() &&
           std::all_of(field.begin(), field.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

std::optional<LineSettings> parseLineSettings(QStringView text, QString* why) {
    auto refuse = [why](const QString& reason) {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    const auto fields = text.split(u',');
    if (fields.size() != 4)
        return refuse(
            QStringLiteral("\"%1\" is not baud rate, parity, data bits and stop bits separated by "
                           "commas")
                .arg(text));

    LineSettings settings;
    bool ok = false;
    settings.baudRate = allDigits(fields[0]) ? fields[0].toInt(&ok) : 0;
    if (!ok || settings.baudRate <= 0)
        return refuse(QStringLiteral("\"%1\" is not a baud rate").arg(fields[0]));

    const auto parity = parityFromLetter(fields[1]);
    if (!parity)
        return refuse(
            fields[1].isEmpty()
                ? QStringLiteral("The parity is missing")
                : QStringLiteral("\"%1\" is not a parity (N, O, E, M or S)").arg(fields[1]));
    settings.parity = *parity;

    settings.dataBits = allDigits(fields[2]) ? fields[2].toInt(&ok) : 0;
    if (!ok || settings.dataBits < 5 || settings.dataBits > 8)
        return refuse(
            QStringLiteral("\"%1\" is not a number of data bits (5 to 8)").arg(fields[2]));

    const auto stopBits = stopBitsFrom(fields[3]);
    if (!stopBits)
        return refuse(
            QStringLiteral("\"%1\" is not a number of stop bits (1, 1.5 or 2)").arg(fields[3]));
    settings.stopBits = *stopBits;
    return settings;
}

QString formatLineSettings(const LineSettings& settings) {
    static constexpr char16_t letters[] = u"NOEMS";
    const char* stop = settings.stopBits == LineSettings::StopBits::One          ? "1"
                       : settings.stopBits == LineSettings::StopBits::OneAndHalf ? "1.5"
                                                                                 : "2";
    return QStringLiteral("%1,%2,%3,%4")
        .arg(settings.baudRate)
        .arg(QChar(letters[static_cast<int>(settings.parity)]))
        .arg(settings.dataBits)
        .arg(QLatin1String(stop));
}
