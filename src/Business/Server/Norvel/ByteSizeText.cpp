#include "ByteSizeText.h"

#include <cstdio>

std::string ByteSizeText(int64_t aBytes)
{
    if (aBytes < 1024) {
        std::string text = std::to_string(aBytes);
        text.append(" bytes");
        return text;
    }
    static const char* const kUnits[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    const uint64_t bytes = static_cast<uint64_t>(aBytes);
    // Whole hundredths of the unit first, in integers: cutting must not
    // suffer from binary fractions (21.4 must not become 21.39).
    std::size_t unit = 0;
    uint64_t scale = 1024;   // bytes per unit
    while (unit + 1 < std::size(kUnits) && bytes / scale >= 1000) {
        scale *= 1024;
        ++unit;
    }
    const uint64_t whole = bytes / scale;
    const uint64_t rest = bytes % scale;
    const int decimals = whole < 10 ? 2 : whole < 100 ? 1 : 0;
    const unsigned factor = decimals == 2 ? 100 : decimals == 1 ? 10 : 1;
    // In 128 bits: the rest of an exabyte count times 100 passes 64.
    const auto fraction = static_cast<uint64_t>(static_cast<unsigned __int128>(rest) * factor / scale);
    char buffer[48];
    if (decimals == 0)
        std::snprintf(buffer, sizeof buffer, "%llu %s", static_cast<unsigned long long>(whole), kUnits[unit]);
    else
        std::snprintf(buffer, sizeof buffer, "%llu.%0*llu %s", static_cast<unsigned long long>(whole), decimals,
                      static_cast<unsigned long long>(fraction), kUnits[unit]);
    return buffer;
}
