// Line settings: what is accepted prints as a canonical string that reads back
// as the same settings; what is refused says why.
#include "platform/line_settings.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    QString why;
    const auto settings = parseLineSettings(text, &why);
    if (!settings) {
        if (why.isEmpty())
            std::abort();
        return 0;
    }
    if (settings->baudRate <= 0 || settings->dataBits < 5 || settings->dataBits > 8)
        std::abort();
    const auto again = parseLineSettings(formatLineSettings(*settings));
    if (!again || !(*again == *settings))
        std::abort();
    return 0;
}
