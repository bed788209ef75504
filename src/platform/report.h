#pragma once

#include <QString>

#include <QDateTime>

// One line on standard error for whoever watches an unattended session: the
// local date and time, "varnolix: " and the line, written at once:
// "2026-12-07 23:18:16 varnolix: COM1 (/dev/ttyUSB0) lost: ...".
void reportLine(const QString& line);
// The line as reportLine() writes it at a given time.
QString stampedLine(const QDateTime& at, const QString& line);
