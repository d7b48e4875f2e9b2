#include "ProcessClock.h"

#include <ctime>

namespace ferrolink {
namespace {

uint32_t ProcessClock()
{
    return static_cast<uint32_t>(std::clock() * 1000.0 / CLOCKS_PER_SEC);
}

ClockFunction g_clock = ProcessClock;

} // namespace

uint32_t ProcessClockMs()
{
    return g_clock();
}

void InstallClock(ClockFunction clock)
{
    g_clock = clock != nullptr ? clock : ProcessClock;
}

} // namespace ferrolink
