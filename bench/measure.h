#pragma once

#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

// What the benchmark drivers measure of their own process.

// A field of /proc/self/status in KiB, such as "VmRSS:" or "VmHWM:".
inline long statusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::strlen(field)));
    return 0;
}

// CPU time so far, in seconds: CLOCK_THREAD_CPUTIME_ID for the calling
// thread, CLOCK_PROCESS_CPUTIME_ID for the whole process.
inline double cpuSeconds(clockid_t clock) {
    timespec now{};
    ::clock_gettime(clock, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}
