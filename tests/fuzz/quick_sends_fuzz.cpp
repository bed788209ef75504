// Quick-send files: a file is taken whole or refused at a line it has, never
// holds more than the sends there may be, and what is written of it reads
// back the same.
#include "transmit/quick_sends.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView file(data, qsizetype(size));
    const QuickSendFile read = readQuickSends(file);
    if (!read.ok()) {
        if (!read.sends.empty() || read.faultLine < 1 || read.faultLine > file.count('\n') + 1 ||
            read.fault.isEmpty())
            std::abort();
        return 0;
    }
    if (read.sends.size() > MaxQuickSends)
        std::abort();
    for (const QuickSend& send : read.sends)
        if (!quickSendFault(send).isEmpty())
            std::abort();
    const QuickSendFile again = readQuickSends(writeQuickSends(read.sends));
    if (!again.ok() || again.sends != read.sends)
        std::abort();
    return 0;
}
