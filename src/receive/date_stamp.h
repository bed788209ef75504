#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// The date and time put after a received line: the locale's short date, a
// space, and the time with seconds.
QString dateTimeStamp(const QDateTime& at, const QLocale& locale = QLocale::system());
