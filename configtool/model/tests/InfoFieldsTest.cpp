#include "InfoFields.h"
#include "ModelStateFixture.h"
#include "SensorMemoryMap.h"

using namespace calvista;

using InfoFieldsTest = ModelStateTest;

namespace {

template <std::size_t N>
std::uint16_t ExpectContiguous(const std::array<InfoField, N> &table, std::uint16_t first)
{
    std::uint16_t next = first;
    for (const InfoField &field : table) {
        EXPECT_EQ(field.address, next) << field.name;
        EXPECT_GE(field.length, 1) << field.name;
        next = static_cast<std::uint16_t>(field.address + field.length);
    }
    return next;
}

} // namespace

TEST(InfoFieldTablesTest, FieldsFollowEachOtherThroughTheInformationArea)
{
    ASSERT_EQ(ProdInfoTable.size(), 40u);
    ASSERT_EQ(ServiceInfoTable.size(), 10u);
    EXPECT_EQ(ExpectContiguous(ProdInfoTable, kProductInfoAddress), kServiceInfoAddress);
    EXPECT_EQ(ExpectContiguous(ServiceInfoTable, kServiceInfoAddress), 660);

    EXPECT_EQ(ProdInfoField(ProdInfo::PCB_FPGA_FIRMWARE_VERSION).address, 214);
    EXPECT_EQ(ProdInfoField(ProdInfo::FINAL_PARAMETERING_TYPECODE).length, 40);
    EXPECT_EQ(ProdInfoField(ProdInfo::PARAMETER_MIRROR_VALID).address, 460);
    EXPECT_EQ(ServiceInfoField(ServiceInfo::CONFIGTOOL_MOD_INDICATOR).address, 659);
    EXPECT_EQ(ServiceInfoField(ServiceInfo::SECOND_SERVICE_NOTES).name, "SECOND_SERVICE_NOTES");
}

TEST_F(InfoFieldsTest, TextIsTheLowByteOfEachCell)
{
    PutText(214, "141000_V1.2.3");
    ASSERT_TRUE(UpdateBuffers(214, 0, 0x131));  // high bits of a cell do not count
    EXPECT_EQ(InfoFieldText(ProdInfoField(ProdInfo::PCB_FPGA_FIRMWARE_VERSION)), "141000_V1.2.3");

    PutText(227, std::string_view("01\0" "3", 4));
    EXPECT_EQ(InfoFieldText(ProdInfoField(ProdInfo::PCB_PARAMETER_VERSION)), std::string("01\0" "3", 4));

    EXPECT_EQ(InfoFieldText(ServiceInfoField(ServiceInfo::FIRST_SERVICE_NAME)), std::string(4, '\xFF'));
}
