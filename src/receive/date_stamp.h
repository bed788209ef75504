#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// How finely the stamp gives the time.
enum class StampPrecision { Seconds, Milliseconds };

// The date and time put after a received line: the locale's short date, a
// space, and the time with seconds, and with milliseconds (".123" after the
// seconds) when asked.
QString dateTimeStamp(const QDateTime& at, const QLocale& locale = QLocale::system(),
                      StampPrecision precision = StampPrecision::Seconds);
