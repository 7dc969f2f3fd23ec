#pragma once
// What every benchmark program needs: a millisecond clock, the median of runs, and the process's
// committed private memory.
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <vector>

inline double nowMs() {
    static const double perMs = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER c;
    ::QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / perMs;
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// Committed private memory of the process, summed over its regions: Wine's process counters do not
// follow heap growth, the address space does.
inline std::size_t privateBytes() {
    std::size_t total = 0;
    MEMORY_BASIC_INFORMATION info;
    for (const char* at = nullptr; ::VirtualQuery(at, &info, sizeof(info)) == sizeof(info);) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE)
            total += info.RegionSize;
        const char* next = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
        if (next <= at)
            break;
        at = next;
    }
    return total;
}
