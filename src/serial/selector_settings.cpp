#include "serial/selector_settings.h"

#include "serial/selector_lists.h"

SelectorSettings settingsFromSelectors(const QString& baud, const QString& parity,
                                       const QString& dataBits, const QString& stopBits,
                                       const QString& previousLetter) {
    QString letter = previousLetter;
    for (const auto& entry : selectors::Parities)
        if (parity == QLatin1String(entry.name))
            letter = QChar::fromLatin1(entry.letter);
    return {baud + u',' + letter + u',' + dataBits + u',' + stopBits, letter};
}
