#include "serial/selector_settings.h"

SelectorSettings settingsFromSelectors(const QString& baud, const QString& parity,
                                       const QString& dataBits, const QString& stopBits,
                                       const QString& previousLetter) {
    QString letter = previousLetter;
    if (parity == QLatin1String("None"))
        letter = QStringLiteral("N");
    else if (parity == QLatin1String("Odd"))
        letter = QStringLiteral("O");
    else if (parity == QLatin1String("Even"))
        letter = QStringLiteral("E");
    return {baud + u',' + letter + u',' + dataBits + u',' + stopBits, letter};
}
