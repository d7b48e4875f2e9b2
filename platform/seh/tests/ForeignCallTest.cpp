#include "seh/ForeignCall.h"

#include <gtest/gtest.h>

namespace {

// Entries of both x86 conventions; on x64 the attributes are the one convention.
__attribute__((noinline)) HRESULT __stdcall StdcallTwo(ULONG_PTR a, LONG* out)
{
    *out = static_cast<LONG>(a) * 2;
    return S_OK;
}

__attribute__((noinline)) HRESULT __cdecl CdeclTwo(ULONG_PTR a, LONG* out)
{
    *out = static_cast<LONG>(a) * 3;
    return S_FALSE;
}

__attribute__((noinline)) ULONG_PTR __stdcall StdcallFour(ULONG_PTR a, ULONG_PTR b, ULONG_PTR c, ULONG_PTR d)
{
    return a * 1000 + b * 100 + c * 10 + d;
}

template <class Function>
FARPROC AsEntry(Function* function)
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(function));
}

TEST(ForeignCall, BothConventionsReturnToABalancedStack)
{
    volatile LONG kept = 77;
    for (int round = 0; round < 3; ++round) {
        LONG out = 0;
        EXPECT_EQ(static_cast<HRESULT>(CallForeignEntry(AsEntry(&StdcallTwo), {21, ForeignArgument(&out)})),
                  S_OK);
        EXPECT_EQ(out, 42);
        EXPECT_EQ(static_cast<HRESULT>(CallForeignEntry(AsEntry(&CdeclTwo), {5, ForeignArgument(&out)})),
                  S_FALSE);
        EXPECT_EQ(out, 15);
        EXPECT_EQ(CallForeignEntry(AsEntry(&StdcallFour), {1, 2, 3, 4}), 1234u);
    }
    EXPECT_EQ(kept, 77);
}

} // namespace
