// CPU seconds this process has spent, for the benchmarks' per-call figures.
#pragma once

#include <windows.h>

namespace ferrolink_test {

inline double ProcessCpuSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto seconds = [](const FILETIME &time) {
        ULARGE_INTEGER value;
        value.LowPart = time.dwLowDateTime;
        value.HighPart = time.dwHighDateTime;
        return value.QuadPart / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

} // namespace ferrolink_test
