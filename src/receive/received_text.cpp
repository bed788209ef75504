#include "receive/received_text.h"

#include "receive/date_stamp.h"

QString ReceivedText::append(QByteArrayView batch, bool asText, QDateTime (*now)()) {
    QString text = renderBatch(batch, asText, pendingLead, encoding);
    if (!text.endsWith(QLatin1String("\r\n")))
        return text;
    return QLatin1String("\r\n") + text + dateTimeStamp(now(), QLocale::system(), precision);
}
