// Peak resident memory of this process, as the memory benchmarks measure
// it: reset the kernel's high-water mark, do the work, read VmHWM.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <malloc.h>
#include <string>

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM"), -1 when missing.
inline int64_t StatusKiB(const char* aField)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(aField) + ":";
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0)
            return std::strtoll(line.c_str() + prefix.size(), nullptr, 10);
    return -1;
}

// Resets the peak to the current size; returns that size.
inline int64_t ResetPeak()
{
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
    return StatusKiB("VmRSS");
}
