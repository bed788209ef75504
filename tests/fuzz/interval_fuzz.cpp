// The interval box: any text reads without failing, and an accepted interval
// is 1 to 32767 ms.
#include "transmit/interval.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto number = readLeadingNumber(text);
    const auto interval = repeatIntervalFrom(text);
    if (interval && (*interval < 1 || *interval > 32767 || !number))
        std::abort();
    return 0;
}
