#include <windows.h>

#include "cvi/Services.h"

namespace cvi {

SystemClock::SystemClock()
{
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    frequency_ = frequency.QuadPart > 0 ? frequency.QuadPart : 1;
}

std::int64_t SystemClock::NowUs()
{
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return counter.QuadPart / frequency_ * 1000000 + counter.QuadPart % frequency_ * 1000000 / frequency_;
}

void SystemClock::WaitUntil(std::int64_t timeUs)
{
    for (;;) {
        const std::int64_t remaining = timeUs - NowUs();
        if (remaining <= 0)
            return;
        ::Sleep(static_cast<DWORD>((remaining + 999) / 1000));
    }
}

} // namespace cvi
