#pragma once

#include <array>

// The entries of the line-settings selectors, in list order. The port
// selector lists COM1 to COM15, one for each number of PortMap.
namespace selectors {

inline constexpr std::array<const char*, 9> BaudRates{"600",   "1200",  "2400",  "4800",  "9600",
                                                      "19200", "38400", "57600", "115200"};

// The parity entries and the letters they stand for in a settings string.
struct ParityEntry {
    const char* name;
    char letter;
};
inline constexpr std::array<ParityEntry, 3> Parities{{{"None", 'N'}, {"Odd", 'O'}, {"Even", 'E'}}};

inline constexpr std::array<const char*, 3> DataBits{"8", "7", "6"};
inline constexpr std::array<const char*, 2> StopBits{"1", "2"};

} // namespace selectors
