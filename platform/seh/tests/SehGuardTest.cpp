#include "seh/SehGuard.h"

#include <gtest/gtest.h>

namespace {

// Entries as a foreign DLL would export them; noinline keeps each a frame of its own.
__attribute__((noinline)) DWORD WriteThroughNull(void*)
{
    *static_cast<volatile int*>(nullptr) = 1;
    return 5;
}

__attribute__((noinline)) DWORD RaiseOwnCode(void*)
{
    RaiseException(0xE0001234, 0, 0, nullptr);
    return 6;
}

__attribute__((noinline)) DWORD ReturnNormally(void* context)
{
    return *static_cast<DWORD*>(context);
}

// An exception deeper inside, under a guard of its own, stays there.
__attribute__((noinline)) DWORD GuardsItsOwnFault(void*)
{
    const SehOutcome inner = RunSehGuarded(&WriteThroughNull, nullptr);
    return inner.raised ? inner.result + 1 : 0;
}

TEST(SehGuard, TheExceptionCodeEndsTheCallAndANormalReturnPassesItsResult)
{
    DWORD value = 3010;
    const struct {
        SehGuardedCall call;
        DWORD result;
        bool raised;
    } cases[] = {
        {&WriteThroughNull, EXCEPTION_ACCESS_VIOLATION, true},
        {&RaiseOwnCode, 0xE0001234, true},
        {&ReturnNormally, 3010, false},
        {&GuardsItsOwnFault, EXCEPTION_ACCESS_VIOLATION + 1, false},
    };
    // Twice over, so a guard that left its frame linked would show on the second round.
    for (int round = 0; round < 2; ++round) {
        for (const auto& c : cases) {
            const SehOutcome outcome = RunSehGuarded(c.call, &value);
            EXPECT_EQ(outcome.result, c.result);
            EXPECT_EQ(outcome.raised, c.raised);
        }
    }
}

TEST(SehGuard, CaptureHoldsTheRecordAndContextOfTheFault)
{
    SehCapture capture;
    const SehOutcome outcome = RunSehGuarded(&WriteThroughNull, nullptr, &capture);
    ASSERT_TRUE(outcome.raised);
    EXPECT_EQ(capture.record.ExceptionCode, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
    // A write (1) to address 0.
    ASSERT_GE(capture.record.NumberParameters, 2u);
    EXPECT_EQ(capture.record.ExceptionInformation[0], 1u);
    EXPECT_EQ(capture.record.ExceptionInformation[1], 0u);
#if defined(__x86_64__)
    const DWORD_PTR pc = capture.context.Rip;
#else
    const DWORD_PTR pc = capture.context.Eip;
#endif
    EXPECT_EQ(reinterpret_cast<DWORD_PTR>(capture.record.ExceptionAddress), pc);
    const DWORD_PTR entry = reinterpret_cast<DWORD_PTR>(&WriteThroughNull);
    EXPECT_TRUE(pc >= entry && pc < entry + 64) << std::hex << pc << " " << entry;

    // A normal return leaves the capture alone.
    capture.record.ExceptionCode = 0;
    DWORD value = 1;
    EXPECT_FALSE(RunSehGuarded(&ReturnNormally, &value, &capture).raised);
    EXPECT_EQ(capture.record.ExceptionCode, 0u);
}

TEST(SehGuard, RegistersOfTheCallerSurviveTheUnwind)
{
    // Values the compiler keeps in non-volatile registers across the call.
    volatile DWORD seed = 7;
    DWORD a = seed * 3, b = seed * 5, c = seed * 11, d = seed * 13;
    const SehOutcome outcome = RunSehGuarded(&WriteThroughNull, nullptr);
    EXPECT_TRUE(outcome.raised);
    EXPECT_EQ(a + b + c + d, 7u * 32u);
    // A C++ exception thrown after the guard is still caught as usual.
    EXPECT_THROW(throw 1, int);
}

} // namespace
