// The expert chip page after a connected read: sign-and-magnitude offsets, the 5-bit RATIO, the
// amplitude mode, and how chip changes reach the image and the write button.
#include <string>
#include <vector>

#include "FieldPacking.h"
#include "ParameterPages.h"
#include "ParameterPagesFixture.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"

namespace {

constexpr int kExpertPage = 2;

} // namespace

TEST_F(ParameterPagesTest, TypedOffsetsSnapToTheStepAndPackAsSignAndMagnitude)
{
    Connect();
    EnterExpertMode();
    struct Case {
        double typed, shown;
        std::uint8_t byte;
    };
    const Case cases[] = {
        {0.5, 0.5, 192},       {-0.5, -0.5, 64},          {0.0, 0.0, 0},
        {0.1, 0.1015625, 0x8D}, {-0.05, -0.046875, 0x06}, {0.00390625, 0.0078125, 129},
        {-0.9921875, -0.9921875, 127},
    };
    for (const Case &c : cases) {
        for (const auto &[control, address] : {std::pair{TAB_EXPERT_SINOFFS, 0x39}, std::pair{TAB_EXPERT_COSOFFS, 0x3A}}) {
            Choose(kExpertPage, control, c.typed);
            EXPECT_DOUBLE_EQ(Number(expert, control), c.shown) << c.typed;
            EXPECT_EQ(ImageByte(static_cast<std::uint16_t>(address)), c.byte) << c.typed;
        }
    }
    EXPECT_EQ(Value(expert, TAB_EXPERT_DORVEL_CRC), ImageByte(0x3F));
    EXPECT_EQ(Value(expert, TAB_EXPERT_DORVEL_CRC_ERROR), 0);
}

TEST_F(ParameterPagesTest, AnOffsetBelowOneStepPacksAsPlusZeroAndReadsBackAsZero)
{
    Connect();
    SetCtrlVal(expert, TAB_EXPERT_SINOFFS, 0.004);
    CollectDorvelParameterFields();
    EXPECT_EQ(calvista::DorvelRegField(calvista::DorvelField::DORVEL_SINOFFS).value, 128);
    SetDorvelParameterFields();
    EXPECT_EQ(Number(expert, TAB_EXPERT_SINOFFS), 0.0);
}

TEST_F(ParameterPagesTest, ChipChangesEnableWritingOnlyInExpertMode)
{
    Connect();
    // Outside expert mode the page is hidden; other modules replay changes through the callbacks.
    SetCtrlVal(expert, TAB_EXPERT_GAIN, 9);
    CAT_DORVEL_VECTOR_CB(expert, TAB_EXPERT_GAIN, EVENT_VAL_CHANGED, nullptr, 0, 0);
    EXPECT_EQ(ImageByte(0x38) >> 4, 9);
    SetCtrlVal(expert, TAB_EXPERT_SINOFFS, 0.1);
    ROUND_SINOFFS_CB(expert, TAB_EXPERT_SINOFFS, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(ImageByte(0x39), 0x8D);
    EXPECT_FALSE(WriteEnabled());

    EnterExpertMode();
    Choose(kExpertPage, TAB_EXPERT_GAIN, 5);
    EXPECT_TRUE(WriteEnabled());
    SetCtrlAttribute(sys, TAB_SYS_WRITE_CFG, ATTR_DIMMED, 1);
    Choose(kExpertPage, TAB_EXPERT_COSOFFS, 0.25);
    EXPECT_TRUE(WriteEnabled());
}

TEST_F(ParameterPagesTest, RatioSpansTwoFields)
{
    Connect([](Eeprom &image) {
        image[0x38] = static_cast<std::uint8_t>((image[0x38] & 0xF0) | 0x0F);
        image[0x3B] |= 0x01;
        SealDorvelBlock(image);
    });
    EnterExpertMode();
    EXPECT_EQ(Value(expert, TAB_EXPERT_RATIO), 31);

    Choose(kExpertPage, TAB_EXPERT_RATIO, 3);
    EXPECT_EQ(ImageByte(0x38) & 0x0F, 3);
    EXPECT_EQ(ImageByte(0x3B) & 0x01, 0);
    Choose(kExpertPage, TAB_EXPERT_RATIO, 17);
    EXPECT_EQ(ImageByte(0x38) & 0x0F, 1);
    EXPECT_EQ(ImageByte(0x3B) & 0x01, 1);
    EXPECT_EQ(ImageByte(0x38) >> 4, 5);  // GAIN shares the byte
}

TEST_F(ParameterPagesTest, AmplitudeModeRelabelsTheAmplitudesAndKeepsTheChoice)
{
    Connect();
    EnterExpertMode();
    ASSERT_EQ(Value(expert, TAB_EXPERT_AMPL), 1);
    EXPECT_EQ(driver.ListLabels(expert, TAB_EXPERT_AMPL),
              (std::vector<std::string>{"0.60*Vdda", "0.64*Vdda", "0.68*Vdda", "0.72*Vdda"}));

    Choose(kExpertPage, TAB_EXPERT_SELAMPL, 1);
    EXPECT_EQ(driver.ListLabels(expert, TAB_EXPERT_AMPL),
              (std::vector<std::string>{"0.2<->0.9 *Vdda", "0.3<->0.9 *Vdda", "0.4<->0.9 *Vdda", "0.5<->0.9 *Vdda"}));
    EXPECT_EQ(Value(expert, TAB_EXPERT_AMPL), 1);
    EXPECT_EQ(ImageByte(0x3C) & 0x07, 0x05);
    EXPECT_TRUE(WriteEnabled());

    // A read shows the sensor's mode with its own list.
    Connect([](Eeprom &image) {
        image[0x3C] = 0x04 | 0x03;
        SealDorvelBlock(image);
    });
    EXPECT_EQ(driver.ListLabels(expert, TAB_EXPERT_AMPL)[0], "0.2<->0.9 *Vdda");
    EXPECT_EQ(Value(expert, TAB_EXPERT_AMPL), 3);
}

TEST_F(ParameterPagesTest, ChipChangesSealTheBlockAndAStaleChecksumShows)
{
    Connect([](Eeprom &image) { image[0x3F] ^= 0x5A; });
    EXPECT_EQ(Value(expert, TAB_EXPERT_DORVEL_CRC), eeprom[0x3F]);
    EXPECT_EQ(Value(expert, TAB_EXPERT_DORVEL_CRC_ERROR), 1);

    EnterExpertMode();
    Choose(kExpertPage, TAB_EXPERT_PHASE, 40);
    EXPECT_EQ(ImageByte(0x3B) >> 2, 40);
    EXPECT_EQ(Value(expert, TAB_EXPERT_DORVEL_CRC), ImageByte(0x3F));
    EXPECT_EQ(Value(expert, TAB_EXPERT_DORVEL_CRC_ERROR), 0);
}

// Each control of the expert page is wired to its field: an operator's change is collected and
// packed, so unpacking the image gives the value back.
TEST_F(ParameterPagesTest, EveryExpertControlReachesItsField)
{
    using calvista::DorvelField;
    using calvista::SysField;
    struct ChipCase {
        int control;
        double value;
        DorvelField field;
    };
    const ChipCase chipCases[] = {
        {TAB_EXPERT_SELRES, 20, DorvelField::DORVEL_SELRES},   {TAB_EXPERT_M2S, 2, DorvelField::DORVEL_M2S},
        {TAB_EXPERT_ENCDS, 1, DorvelField::DORVEL_ENCDS},      {TAB_EXPERT_ZPOS, 5, DorvelField::DORVEL_ZPOS},
        {TAB_EXPERT_HYS, 4, DorvelField::DORVEL_HYS},          {TAB_EXPERT_CFGZ, 3, DorvelField::DORVEL_CFGZ},
        {TAB_EXPERT_CFGABZ, 2, DorvelField::DORVEL_CFGABZ},    {TAB_EXPERT_CBZ, 1, DorvelField::DORVEL_CBZ},
        {TAB_EXPERT_ROT, 0, DorvelField::DORVEL_ROT},          {TAB_EXPERT_SELSSI, 1, DorvelField::DORVEL_SELSSI},
        {TAB_EXPERT_ENRESDEL, 1, DorvelField::DORVEL_ENRESDEL}, {TAB_EXPERT_FERR, 0, DorvelField::DORVEL_FERR},
        {TAB_EXPERT_AERR, 0, DorvelField::DORVEL_AERR},        {TAB_EXPERT_RPL, 1, DorvelField::DORVEL_RPL},
        {TAB_EXPERT_CFGAB, 2, DorvelField::DORVEL_CFGAB},      {TAB_EXPERT_NZB, 1, DorvelField::DORVEL_NZB},
        {TAB_EXPERT_CRC6, 1, DorvelField::DORVEL_CRC6},        {TAB_EXPERT_FCTR, 1234, DorvelField::DORVEL_FCTR},
        {TAB_EXPERT_GRAY, 1, DorvelField::DORVEL_GRAY},        {TAB_EXPERT_TMA, 1, DorvelField::DORVEL_TMA},
        {TAB_EXPERT_TMODE, 6, DorvelField::DORVEL_TMODE},      {TAB_EXPERT_TIMO, 1, DorvelField::DORVEL_TIMO},
        {TAB_EXPERT_CFGOSC, 7, DorvelField::DORVEL_CFGOSC},    {TAB_EXPERT_TOA, 1, DorvelField::DORVEL_TOA},
        {TAB_EXPERT_GAIN, 11, DorvelField::DORVEL_GAIN},       {TAB_EXPERT_PHASE, 45, DorvelField::DORVEL_PHASE},
        {TAB_EXPERT_REFOFFS, 0, DorvelField::DORVEL_REFOFFS},  {TAB_EXPERT_AMPL, 2, DorvelField::DORVEL_AMPL},
        {TAB_EXPERT_SELAMPL, 1, DorvelField::DORVEL_SELAMPL},
    };
    struct SysCase {
        int control;
        double value;
        SysField field;
    };
    const SysCase sysCases[] = {
        {TAB_EXPERT_CAL_MODE, 1, SysField::DORVEL_SW_OFF},
        {TAB_EXPERT_1VPP_OUT_EN, 1, SysField::_1V_OUT},
        {TAB_EXPERT_Z_OUT_EN, 1, SysField::Z_OUT_EN},
        {TAB_EXPERT_POS_FORMAT, 5, SysField::POS_VALUE},
        {TAB_EXPERT_SSIRES, 7, SysField::SSI_RES},
        {TAB_EXPERT_LED_BLINK_TIME, 33, SysField::LED_BLINK_TIME},
        {TAB_EXPERT_QI_REC_TIME, 44, SysField::QI_REC_TIME},
        {TAB_EXPERT_QI_PWR_ON_DLY, 55, SysField::QI_PWR_ON_DLY},
        {TAB_EXPERT_POLES_P_DIR, 66, SysField::POLES_P_DIR},
        {TAB_EXPERT_POLES_N_DIR, 77, SysField::POLES_N_DIR},
        {TAB_EXPERT_QI_EN_Z_ON_DATA, 1, SysField::QI_EN_Z_ON_DATA},
        {TAB_EXPERT_OFFSET, 4000000000.0, SysField::OFFSET},
        {TAB_EXPERT_STARTSET_OFFSET, 40000, SysField::STARTSET_OFFSET},
        {TAB_EXPERT_PRC_BIT_NUM_REG, 9, SysField::PRC_BIT_NUM_REG},
        {TAB_EXPERT_NUM_OF_POLES_REG_H, 1, SysField::NUM_OF_POLES_REG_H},
        {TAB_EXPERT_NUM_OF_POLES_REG_L, 44, SysField::NUM_OF_POLES_REG_L},
        {TAB_EXPERT_START_PRC_REG_H, 2, SysField::START_PRC_REG_H},
        {TAB_EXPERT_START_PRC_REG_L, 3, SysField::START_PRC_REG_L},
    };
    Connect();
    EnterExpertMode();
    const auto asUnsigned = [](std::int32_t value) { return static_cast<double>(static_cast<std::uint32_t>(value)); };
    for (const ChipCase &c : chipCases) {
        Choose(kExpertPage, c.control, c.value);
        calvista::DorvelCfgvectorToRegfields();
        EXPECT_EQ(calvista::DorvelRegField(c.field).value, c.value) << "control " << c.control;
    }
    EXPECT_EQ(Value(expert, TAB_EXPERT_DORVEL_CRC_ERROR), 0);
    for (const SysCase &c : sysCases) {
        Choose(kExpertPage, c.control, c.value);
        calvista::SysCfgvectorToRegfields();
        EXPECT_EQ(asUnsigned(calvista::SysRegField(c.field).value), c.value) << "control " << c.control;
    }
}
