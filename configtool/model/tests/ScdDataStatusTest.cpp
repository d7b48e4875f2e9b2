#include "ScdDataStatus.h"

#include <gtest/gtest.h>

using namespace calvista;

namespace {

constexpr auto kGood = ScdDataStatus::Good;
constexpr auto kBad = ScdDataStatus::Bad;
constexpr auto kUnknown = ScdDataStatus::Unknown;

struct Case {
    std::uint16_t length;
    std::uint8_t ssiType;
    std::uint32_t low;
    std::uint32_t high;
    ScdDataStatus status;
};

} // namespace

TEST(ScdDataStatusTest, StatusBitOfEachFrameLayout)
{
    const Case cases[] = {
        // SSI frame types 2 and 3: the error byte in bits 0-7.
        {24, 2, 0xFFFFFF00, 0xFFFFFFFF, kGood}, {24, 3, 0x00000001, 0, kBad},
        {25, 3, 0x00000100, 0, kGood},          {26, 2, 0x00000080, 0, kBad},
        {32, 3, 0xFFFFFF00, 0, kGood},          {32, 2, 0x00000040, 0, kBad},
        // Type 1: behind the raw VEF byte.
        {24, 1, 0x7FFFFFFF, 0xFFFFFFFF, kGood}, {24, 1, 0x80000000, 0, kBad},
        {25, 1, 0xFFFFFFFF, 0xFFFFFFFE, kGood}, {25, 1, 0, 0x00000001, kBad},
        {26, 1, 0xFFFFFFFF, 0xFFFFFFFD, kGood}, {26, 1, 0, 0x00000002, kBad},
        {32, 1, 0xFFFFFFFF, 0xFFFFFF7F, kGood}, {32, 1, 0, 0x00000080, kBad},
        // Type 0: the top bit of the SSI word.
        {24, 0, 0xFF7FFFFF, 0xFFFFFFFF, kGood}, {24, 0, 0x00800000, 0, kBad},
        {25, 0, 0xFEFFFFFF, 0, kGood},          {25, 0, 0x01000000, 0, kBad},
        {26, 0, 0xFDFFFFFF, 0, kGood},          {26, 0, 0x02000000, 0, kBad},
        {32, 0, 0x7FFFFFFF, 0xFFFFFFFF, kGood}, {32, 0, 0x80000000, 0, kBad},
        // BiSS: a set bit says good, whatever the SSI frame type.
        {40, 0, 0x00000080, 0, kGood}, {40, 3, 0x00000080, 0, kGood}, {40, 1, 0xFFFFFF7F, 0xFFFFFFFF, kBad},
        {54, 0, 0x00200000, 0, kGood}, {54, 2, 0xFFDFFFFF, 0xFFFFFFFF, kBad},
        // Lengths without a rule, and an SSI frame type the firmware never gives.
        {48, 0, 0xFFFFFFFF, 0xFFFFFFFF, kUnknown}, {0, 0, 0, 0, kUnknown},
        {24, 4, 0, 0, kUnknown},
    };
    for (const Case &c : cases)
        EXPECT_EQ(EvaluateScdData(c.length, c.ssiType, c.low, c.high), c.status)
            << "length " << c.length << ", SSI frame type " << int(c.ssiType) << ", low " << std::hex << c.low
            << ", high " << c.high;
}
