// Transfer descriptors and the pool that hands them out.
#include <gtest/gtest.h>

#include "DravioBufferPool.h"

using namespace dravio;

namespace {

TEST(BufferPool, HandsOutTheLastDescriptorFirst)
{
    CDravioBufferPool pool;
    ASSERT_TRUE(pool.Allocate(64, 4));
    EXPECT_EQ(pool.GetFreeCount(), 4);

    CDravioBuffer *handedOut[4];
    for (CDravioBuffer *&buffer : handedOut) {
        buffer = pool.Get();
        ASSERT_NE(buffer, nullptr);
        EXPECT_EQ(buffer->next, nullptr);
        EXPECT_EQ(buffer->BufferSize(), 64u);
    }
    EXPECT_EQ(pool.Get(), nullptr);
    EXPECT_EQ(pool.GetFreeCount(), 0);

    // The last one handed out lies at the start of the one data block.
    const BYTE *block = static_cast<const BYTE *>(handedOut[3]->Buffer());
    const ptrdiff_t expected[] = {192, 128, 64, 0};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(static_cast<const BYTE *>(handedOut[i]->Buffer()) - block, expected[i]) << i;

    pool.Put(handedOut[1]);
    pool.Put(handedOut[2]);
    EXPECT_EQ(pool.GetFreeCount(), 2);
    EXPECT_EQ(pool.Get(), handedOut[2]);
    EXPECT_EQ(pool.Get(), handedOut[1]);
}

TEST(BufferPool, SecondAllocateChangesNothing)
{
    CDravioBufferPool pool;
    ASSERT_TRUE(pool.Allocate(64, 4));
    CDravioBuffer *first = pool.Get();
    EXPECT_FALSE(pool.Allocate(32, 8));
    EXPECT_EQ(pool.GetFreeCount(), 3);
    EXPECT_EQ(pool.Get()->BufferSize(), 64u);
    pool.Put(first);

    pool.Free();
    EXPECT_EQ(pool.GetFreeCount(), 0);
    EXPECT_EQ(pool.Get(), nullptr);
    EXPECT_TRUE(pool.Allocate(32, 8));
    EXPECT_EQ(pool.GetFreeCount(), 8);
}

TEST(BufferPool, RefusesEmptyAndOversizedPools)
{
    CDravioBufferPool pool;
    EXPECT_FALSE(pool.Allocate(0, 4));
    EXPECT_FALSE(pool.Allocate(64, 0));
    EXPECT_FALSE(pool.Allocate(0x10000, 0x10001)); // more than 32 bits of data
    EXPECT_EQ(pool.GetFreeCount(), 0);
    EXPECT_TRUE(pool.Allocate(64, 1));
}

TEST(Buffer, OwnsOnlyMemoryItAllocated)
{
    BYTE callers[16];
    CDravioBuffer over(callers, sizeof callers);
    EXPECT_EQ(over.Buffer(), callers);
    EXPECT_EQ(over.BufferSize(), 16u);

    CDravioBuffer own(100);
    EXPECT_NE(own.Buffer(), nullptr);
    EXPECT_EQ(own.BufferSize(), 100u);

    CDravioBuffer empty;
    EXPECT_EQ(empty.Buffer(), nullptr);
    EXPECT_EQ(empty.BufferSize(), 0u);
    EXPECT_EQ(empty.bytesToTransfer, 0u);
    EXPECT_EQ(empty.lastBuffer, FALSE);
    EXPECT_EQ(empty.Overlapped().hEvent, empty.Event());
}

TEST(Buffer, EventResetsAsTheBuildSays)
{
    CDravioBuffer buffer(8);
    ASSERT_NE(buffer.Event(), nullptr);
    SetEvent(buffer.Event());
    EXPECT_EQ(WaitForSingleObject(buffer.Event(), 0), WAIT_OBJECT_0);
#ifdef UNICODE
    EXPECT_EQ(WaitForSingleObject(buffer.Event(), 0), WAIT_OBJECT_0); // manual reset
#else
    EXPECT_EQ(WaitForSingleObject(buffer.Event(), 0), static_cast<DWORD>(WAIT_TIMEOUT)); // auto reset
#endif
}

} // namespace
