// Isochronous buffer layout, checked on the raw bytes the driver sees.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "IsoBuffer.h"

using namespace dravio;

namespace {

ULONG Word(const std::vector<BYTE> &bytes, size_t offset)
{
    ULONG value = 0;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

TEST(IsoBuffer, ReadBufferOfEightPacketsOf192Bytes)
{
    EXPECT_EQ(IsoHeaderSize(8), 112u);
    DWORD size = 0;
    ASSERT_TRUE(IsoReadBufferSize(8, 192, size));
    EXPECT_EQ(size, 1648u);

    std::vector<BYTE> buffer(size, 0xCC);
    WriteIsoReadHeader(buffer.data(), 8, 192);
    EXPECT_EQ(Word(buffer, 0), 8u);
    EXPECT_EQ(Word(buffer, 4), 0x30000u);
    EXPECT_EQ(Word(buffer, 8), 0u);
    EXPECT_EQ(Word(buffer, 12), 0u);
    for (ULONG i = 0; i < 8; ++i) {
        EXPECT_EQ(Word(buffer, 16 + 12 * i), 112 + 192 * i) << i;
        EXPECT_EQ(Word(buffer, 20 + 12 * i), 192u) << i;
        EXPECT_EQ(Word(buffer, 24 + 12 * i), 0u) << i;
    }
    EXPECT_EQ(Word(buffer, 16 + 12 * 7), 1456u);
    // The data area is the driver's: the header stops at byte 112.
    EXPECT_EQ(buffer[112], 0xCC);
}

TEST(IsoBuffer, WriteBufferPacksTheDataBehindTheHeader)
{
    std::vector<BYTE> data(30);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<BYTE>(i + 1);
    const DWORD lengths[] = {10, 0, 20};

    std::vector<BYTE> buffer(100, 0xCC);
    DWORD transferLength = 0;
    ASSERT_TRUE(BuildIsoWriteBuffer(buffer.data(), 100, data.data(), lengths, 3, transferLength));
    EXPECT_EQ(transferLength, 82u);
    EXPECT_EQ(Word(buffer, 0), 3u);
    EXPECT_EQ(Word(buffer, 4), 0x20000u);
    const ULONG offsets[] = {52, 62, 62};
    for (ULONG i = 0; i < 3; ++i) {
        EXPECT_EQ(Word(buffer, 16 + 12 * i), offsets[i]) << i;
        EXPECT_EQ(Word(buffer, 20 + 12 * i), lengths[i]) << i;
        EXPECT_EQ(Word(buffer, 24 + 12 * i), 0u) << i;
    }
    EXPECT_EQ(0, std::memcmp(buffer.data() + 52, data.data(), 30));
    EXPECT_EQ(buffer[82], 0xCC);

    // One byte short of the transfer: refused, nothing written.
    std::vector<BYTE> tight(81, 0xCC);
    EXPECT_FALSE(BuildIsoWriteBuffer(tight.data(), 81, data.data(), lengths, 3, transferLength));
    EXPECT_EQ(tight[0], 0xCC);
}

TEST(IsoBuffer, SizesBeyond32BitsAreRefused)
{
    DWORD size = 7;
    EXPECT_FALSE(IsoReadBufferSize(0x10000, 0x10000, size));
    EXPECT_EQ(size, 7u);
    EXPECT_TRUE(IsoReadBufferSize(1, 0xFFFFFFFF - 28, size));
    EXPECT_EQ(size, 0xFFFFFFFFu);
}

} // namespace
