#include "receive/date_stamp.h"

#include <QRegularExpression>

namespace {

// The locale's long time form without its time zone.
QString timeWithSeconds(const QLocale& locale) {
    static const QRegularExpression zone(QStringLiteral("\\s*\\(?t+\\)?\\s*"));
    QString format = locale.timeFormat(QLocale::LongFormat);
    return format.replace(zone, QStringLiteral(" ")).trimmed();
}

// Right after the seconds, wherever the locale puts them (before "AM" in
// en_US); quoted text in the format is no field.
QString withMilliseconds(QString format) {
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format.at(i) == u'\'') {
            quoted = !quoted;
        } else if (!quoted && format.at(i) == u's') {
            while (i < format.size() && format.at(i) == u's')
                ++i;
            return format.insert(i, QStringLiteral(".zzz"));
        }
    }
    return format;
}

} // namespace

QString dateTimeStamp(const QDateTime& at, const QLocale& locale, StampPrecision precision) {
    const QString time = precision == StampPrecision::Milliseconds
                             ? withMilliseconds(timeWithSeconds(locale))
                             : timeWithSeconds(locale);
    return locale.toString(at.date(), QLocale::ShortFormat) + u' ' +
           locale.toString(at.time(), time);
}
