#include "window/run_options.h"

#include <unistd.h>

std::int64_t physicalMemory() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    // Assumed when the system does not say.
    if (pages <= 0 || pageSize <= 0)
        return std::int64_t(4) << 30;
    return std::int64_t(pages) * pageSize;
}
