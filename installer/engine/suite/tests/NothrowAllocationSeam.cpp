#include "NothrowAllocationSeam.h"

#include <cstdlib>
#include <new>

namespace {

bool g_failing = false;

} // namespace

FailingNothrowAllocations::FailingNothrowAllocations()
{
    g_failing = true;
}

FailingNothrowAllocations::~FailingNothrowAllocations()
{
    g_failing = false;
}

// Replaces the library's forms; the plain operator delete frees with free().
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return g_failing ? nullptr : std::malloc(size ? size : 1);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return g_failing ? nullptr : std::malloc(size ? size : 1);
}
