// The expert chip page after a connected read: sign-and-magnitude offsets, the 5-bit RATIO, the
// amplitude mode, and how chip changes reach the image and the write button.
#include <string>
#include <vector>

#include "ChipPageInputs.h"
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
