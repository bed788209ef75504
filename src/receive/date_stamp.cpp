#include "receive/date_stamp.h"

#include <QRegularExpression>

namespace {

// The locale's long time form without its time zone.
QString timeWithSeconds(const QLocale& locale) {
    static const QRegularExpression zone(QStringLiteral("\\s*\\(?t+\\)?\\s*"));
    QString format = locale.timeFormat(QLocale::LongFormat);
    return format.replace(zone, QStringLiteral(" ")).trimmed();
}

} // namespace

QString dateTimeStamp(const QDateTime& at, const QLocale& locale) {
    return locale.toString(at.date(), QLocale::ShortFormat) + u' ' +
           locale.toString(at.time(), timeWithSeconds(locale));
}
