#include "platform/report.h"

#include <cstdio>

QString stampedLine(const QDateTime& at, const QString& line) {
    return at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" varnolix: ") +
           line;
}

void reportLine(const QString& line) {
    std::fprintf(stderr, "%s\n", qPrintable(stampedLine(QDateTime::currentDateTime(), line)));
    std::fflush(stderr);
}
