#include "ModelStateFixture.h"
#include "SensorMemoryMap.h"

#include <string>

using namespace calvista;

using RegisterFieldsTest = ModelStateTest;

namespace {

// Address and bit position must restate where the end-to-end packing puts each field.
template <std::size_t N>
void ExpectFieldsEndToEnd(std::span<RegField, N> table, std::uint32_t (*firstBit)(const RegField &),
                          std::size_t totalBits)
{
    std::size_t bit = 0;
    for (const RegField &field : table) {
        EXPECT_EQ(firstBit(field), bit) << field.name;
        EXPECT_GE(field.bitlen, 1) << field.name;
        EXPECT_LE(field.bitlen, 32) << field.name;
        bit += field.bitlen;
    }
    EXPECT_EQ(bit, totalBits);
}

} // namespace

TEST_F(RegisterFieldsTest, TablesLayTheirFieldsEndToEndOverTheirBlocks)
{
    ASSERT_EQ(SysFieldTable().size(), 81u);
    ASSERT_EQ(DorvelFieldTable().size(), 39u);
    // The chip records follow the system records in the same array.
    EXPECT_EQ(DorvelFieldTable().data(), SysFieldTable().data() + 81);

    ExpectFieldsEndToEnd(SysFieldTable(), [](const RegField &f) { return f.address * 8 + f.bitpos; },
                         kSystemBlockSize * 8);
    ExpectFieldsEndToEnd(DorvelFieldTable(), [](const RegField &f) {
        EXPECT_EQ(f.address & 0xFFFF0000u, 0x300000u) << f.name;
        return (f.address & 0xFFFF) * 8 + f.bitpos;
    }, kDorvelBlockSize * 8);
}

TEST_F(RegisterFieldsTest, RecordsAreFoundByNameAndThreeStartAtOne)
{
    EXPECT_EQ(FindRegField("DORVEL_FCTR"), &DorvelRegField(DorvelField::DORVEL_FCTR));
    EXPECT_EQ(FindRegField("OFFSET"), &SysRegField(SysField::OFFSET));
    EXPECT_EQ(FindRegField("_1V_OUT"), &SysFieldTable()[28]);
    EXPECT_EQ(FindRegField("DORVEL_CRC_EP2"), &DorvelFieldTable()[38]);
    EXPECT_EQ(FindRegField("offset"), nullptr);
    EXPECT_EQ(FindRegField(""), nullptr);

    const RegField &fctr = DorvelRegField(DorvelField::DORVEL_FCTR);
    EXPECT_EQ(fctr.address, 0x300004u);
    EXPECT_EQ(fctr.bitlen, 15);

    std::string startingAtOne;
    for (const RegField &field : SysFieldTable())
        if (field.value != 0) startingAtOne += std::string(field.name) + " ";
    for (const RegField &field : DorvelFieldTable())
        if (field.value != 0) startingAtOne += std::string(field.name) + " ";
    EXPECT_EQ(startingAtOne, "SYS_RESERVED_7 SYS_RESERVED_21 DORVEL_ROT ");
}

TEST_F(RegisterFieldsTest, ClearingOneTableLeavesTheOther)
{
    SysRegField(SysField::OFFSET).value = 5;
    DorvelRegField(DorvelField::DORVEL_GAIN).value = 3;

    ClearSysRegs();
    EXPECT_EQ(SysRegField(SysField::OFFSET).value, 0);
    EXPECT_EQ(SysRegField(SysField::SYS_RESERVED_7).value, 0);
    EXPECT_EQ(DorvelRegField(DorvelField::DORVEL_GAIN).value, 3);
    EXPECT_EQ(DorvelRegField(DorvelField::DORVEL_ROT).value, 1);

    ClearDorvelRegs();
    EXPECT_EQ(DorvelRegField(DorvelField::DORVEL_GAIN).value, 0);
    EXPECT_EQ(DorvelRegField(DorvelField::DORVEL_ROT).value, 0);
}
