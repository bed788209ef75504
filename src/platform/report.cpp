#include "platform/report.h"

#include <cstdio>

void reportLine(const QString& line) {
    std::fprintf(stderr, "varnolix: %s\n", qPrintable(line));
    std::fflush(stderr);
}
