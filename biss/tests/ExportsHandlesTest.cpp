// The handle table and the error history, through the exports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ExportLoader.h"

namespace {

struct LastError {
    int result;
    BISS_U32 code;
    BISS_U32 level;
    std::string text;
};

LastError GetLast(BISS_U32 handle)
{
    char text[BISS_ERROR_TEXT_SIZE + 16] = {};
    BISS_U32 code = 99, level = 99;
    const int result = BISS(BISS_GetLastError)(handle, &code, &level, text);
    return {result, code, level, text};
}

BISS_U32 Open()
{
    BISS_U32 handle = 0;
    EXPECT_EQ(0, BISS(BISS_Open)(&handle));
    return handle;
}

// Closes whatever a test opened, top first, so slots are given back.
class HandleTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (BISS_U32 handle = 256; handle >= 1; --handle)
            BISS(BISS_Close)(handle);
    }
};

TEST_F(HandleTest, HandlesRiseAndOnlyTheTopSlotIsGivenBack)
{
    EXPECT_EQ(1u, Open());
    EXPECT_EQ(2u, Open());
    EXPECT_EQ(0, BISS(BISS_Close)(2));
    EXPECT_EQ(2u, Open());
    EXPECT_EQ(3u, Open());
    EXPECT_EQ(0, BISS(BISS_Close)(2));
    EXPECT_EQ(4u, Open()) << "a hole below the top stays a hole";
    EXPECT_EQ(1, BISS(BISS_Close)(2)) << "closing twice";
}

TEST_F(HandleTest, TheTableHoldsAtMost256AndTheNextOpenCreatesNothing)
{
    // Earlier tests may have left holes below the top: fill up to the last slot.
    BISS_U32 last = 0;
    for (int opened = 0; opened < 256 && last != 256; ++opened)
        last = Open();
    ASSERT_EQ(256u, last);
    BISS_U32 handle = 12345;
    EXPECT_NE(0, BISS(BISS_Open)(&handle));
    EXPECT_EQ(12345u, handle);
    EXPECT_EQ(0, BISS(BISS_Close)(256));
    EXPECT_EQ(256u, Open());
}

TEST_F(HandleTest, EveryHandleTakingExportRefusesBadHandlesAndRecordsNothing)
{
    const BISS_U32 open = Open();
    const BISS_U32 closed = Open();
    ASSERT_EQ(0, BISS(BISS_Close)(closed));
    const BISS_U32 hole = closed;  // top slot given back, so it is simply not open
    BISS_U32 value = 77;
    for (BISS_U32 bad : {0ul, 257ul, hole, 0xFFFFFFFFul}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(1, BISS(BISS_Close)(bad));
        EXPECT_EQ(1, BISS(BISS_SetComParam)(bad, eBISS_CP_FREQ_SCD, 1));
        value = 77;
        EXPECT_EQ(1, BISS(BISS_GetComParam)(bad, eBISS_CP_FREQ_SCD, &value));
        EXPECT_EQ(0u, value) << "getters clear their output first";
        EXPECT_EQ(1, BISS(BISS_SetFrameParam)(bad, 0, 0, 1));
        value = 77;
        EXPECT_EQ(1, BISS(BISS_GetFrameParam)(bad, 0, 0, &value));
        EXPECT_EQ(0u, value);
        value = 77;
        EXPECT_EQ(1, BISS(BISS_GetMasterRegister)(bad, 0xE6, &value));
        EXPECT_EQ(0u, value);
        const LastError last = GetLast(bad);
        EXPECT_EQ(1, last.result);
        EXPECT_EQ(1u, last.code);
        EXPECT_EQ(3u, last.level);
        EXPECT_EQ("Use the handle returned by the Open function.", last.text);
    }
    const LastError fresh = GetLast(open);
    EXPECT_EQ(0, fresh.result);
    EXPECT_EQ(0u, fresh.code);
    EXPECT_EQ(0u, fresh.level);
    EXPECT_EQ("OK", fresh.text);
}

TEST(Version, IsSixPointFourBeforeAnyOpen)
{
    BISS_U32 version[2] = {0, 0};
    EXPECT_EQ(0, BISS(BISS_GetDLLVersion)(version));
    EXPECT_EQ(4u, version[0]);
    EXPECT_EQ(6u, version[1]);
}

TEST_F(HandleTest, NullPointersGetACodeNotACrash)
{
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_Open)(nullptr));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_GetDLLVersion)(nullptr));
    const BISS_U32 handle = Open();
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_GetComParam)(handle, 4, nullptr));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_GetFrameParam)(handle, 0, 0, nullptr));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_GetMasterRegister)(handle, 0, nullptr));
    EXPECT_EQ(0, BISS(BISS_GetLastError)(handle, nullptr, nullptr, nullptr));
}

TEST_F(HandleTest, AFailureStaysTheNewestEntryAfterLaterSuccesses)
{
    const BISS_U32 handle = Open();
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_SetComParam)(handle, eBISS_CP_MASTER_ID, 1));
    EXPECT_EQ(0, BISS(BISS_SetComParam)(handle, eBISS_CP_FREQ_SCD, 3));
    LastError last = GetLast(handle);
    EXPECT_EQ(0, last.result);
    EXPECT_EQ(5u, last.code);
    EXPECT_EQ(3u, last.level);
    EXPECT_EQ("Parameter not specified.", last.text);

    EXPECT_EQ(eBISS_VALUE_RANGE, BISS(BISS_SetComParam)(handle, eBISS_CP_PROTOCOL, 3));
    last = GetLast(handle);
    EXPECT_EQ(7u, last.code);
    EXPECT_EQ(4u, last.level);
    EXPECT_EQ("Value out of range.", last.text);
}

TEST_F(HandleTest, TheNewestEntrySurvivesTheRingWrapping)
{
    const BISS_U32 handle = Open();
    for (int i = 0; i < 299; ++i)
        ASSERT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_SetComParam)(handle, 99, 0));
    ASSERT_EQ(eBISS_VALUE_RANGE, BISS(BISS_SetComParam)(handle, eBISS_CP_PROTOCOL, 9));
    EXPECT_EQ(7u, GetLast(handle).code);
}

} // namespace
