// Taking channel values out of a copy of the master's data registers.
#include <gtest/gtest.h>

#include <array>

#include "BissMaster.h"

namespace {

using ferrolink::BissMasterClass;
using ferrolink::MasterChipInfo;

constexpr MasterChipInfo kChip52{8, 64, 0x52, 4};

uint64_t Value(const BissMasterClass &master, uint32_t slot)
{
    const ferrolink::BitValueClass &value = master.ScdValue(slot);
    return (uint64_t{value.GetHigh()} << 32) | value.GetLow();
}

TEST(ScdDecodeTest, OnlyTheChannelsOwnBitsAreTaken)
{
    BissMasterClass master;
    ASSERT_EQ(0, master.SetFrameParam(0, eBISS_FP_SCD_LENGTH, 16));
    ASSERT_EQ(0, master.SetFrameParam(1, eBISS_FP_SCD_LENGTH, 13));
    master.BuildRegisterImage(kChip52, eBISS_IF_DRAVIO_A);
    std::array<uint8_t, 64> registers{};
    registers.fill(0xFF);
    registers[0] = 0x34;
    registers[1] = 0x12;
    registers[8] = 0x34;
    registers[9] = 0xF2;
    master.DecodeScdRegisters(registers.data(), 0x03);
    EXPECT_EQ(0x1234u, Value(master, 0)) << "a multiple of 8 takes nothing from the next register";
    EXPECT_EQ(0x1234u, Value(master, 1)) << "13 bits: the low 5 bits of the second register";

    master.DecodeScdRegisters(registers.data(), 0x02);
    EXPECT_EQ(0u, Value(master, 0)) << "an invalid channel reads 0";
}

TEST(ScdDecodeTest, TheMastersCrcBitsAreNotData)
{
    BissMasterClass master;
    ASSERT_EQ(0, master.SetFrameParam(0, eBISS_FP_SCD_LENGTH, 40));
    ASSERT_EQ(0, master.SetFrameParam(0, eBISS_FP_CRC_POLY, 0x43));
    master.BuildRegisterImage(kChip52, eBISS_IF_DRAVIO_A);
    std::array<uint8_t, 64> registers{};
    registers.fill(0xFF);
    master.DecodeScdRegisters(registers.data(), 0xFF);
    EXPECT_EQ((uint64_t{1} << 34) - 1, Value(master, 0));
}

TEST(ScdDecodeTest, ALongChannelContinuesInTheSplitSlot)
{
    BissMasterClass master;
    ASSERT_EQ(0, master.SetFrameParam(0, eBISS_FP_SCD_LENGTH, 70));
    ASSERT_EQ(0, master.SetFrameParam(0, eBISS_FP_CRC_POLY, 0x43));
    ASSERT_EQ(0, master.SetFrameParam(0, eBISS_FP_CRC_START, 1));
    master.BuildRegisterImage(kChip52, eBISS_IF_DRAVIO_A);
    ASSERT_EQ(1, master.SplitSlot());
    EXPECT_EQ(2u, master.SlotCount());
    std::array<uint8_t, 64> registers{};
    registers.fill(0xA5);
    master.DecodeScdRegisters(registers.data(), 0x01);
    EXPECT_EQ(0xA5A5A5A5A5A5A5A5ULL, Value(master, 0)) << "64 data bits";
    EXPECT_EQ(0x25u, Value(master, 1)) << "the 6 CRC bits";
}

} // namespace
