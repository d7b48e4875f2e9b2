// The indicators that judge what the encoder delivered: the main panel's data status from the
// last single-cycle data, and the chip blocks' CRC bytes with their error indicators.
#include <string>

#include "BlockCrc.h"
#include "ChipBlockCrcs.h"
#include "DataStatusLed.h"
#include "LiveRead.h"
#include "Panels.h"
#include "RegisterImage.h"
#include "SensorLinkState.h"
#include "ToolFixture.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/UserInterface.h"

namespace {

class StatusIndicatorsTest : public MainPanelTest {
protected:
    int ExpertPage() const { return GetTabPanel(2); }
    int SecondExpertPage() const { return GetTabPanel(3); }

    bool GreenShown() const { return ControlVisible(g_mainPanel, MAIN_PANEL_MAIN_LED_GREEN); }
    bool RedShown() const { return ControlVisible(g_mainPanel, MAIN_PANEL_MAIN_LED_RED); }

    // Zero bytes in both chip blocks: their checksums are 0x00 (Dorvel) and 0x1B (Pellin).
    void ZeroChipBlocks(std::uint16_t dorvelCrc, std::uint16_t pellinCrc)
    {
        PutText(0x30, std::string(15, '\0'));
        PutByte(0x3F, dorvelCrc);
        PutText(0x40, std::string(31, '\0'));
        PutByte(0x5F, pellinCrc);
    }

    int DorvelErrors() const
    {
        const int expert = Value(ExpertPage(), TAB_EXPERT_DORVEL_CRC_ERROR);
        EXPECT_EQ(Value(SecondExpertPage(), TAB_EXP_2_DORVEL_CRC_ERROR_EXP2), expert);
        return expert;
    }
    int PellinError() const { return Value(SecondExpertPage(), TAB_EXP_2_PELLIN_CRC_ERROR_EXP2); }
};

} // namespace

TEST_F(StatusIndicatorsTest, DataStatusShowsOneOfTheTwoIndicators)
{
    struct Case {
        std::uint16_t frameLength;
        std::uint8_t ssiFrameType;
        std::uint32_t low;
        std::uint32_t high;
        bool good;
    };
    const Case cases[] = {
        {40, 0, 0x00000080, 0, true},  {40, 0, 0xFFFFFF7F, 0, false}, {54, 0, 0x00200000, 0, true},
        {54, 3, 0x00000080, 0, false}, {25, 1, 0, 0x00000001, false}, {25, 1, 0x01000000, 0, true},
        {32, 3, 0x00000000, 0, true},  {24, 0, 0x00800000, 0, false},
    };
    for (const Case &c : cases) {
        g_link.frameLength = c.frameLength;
        g_link.ssiFrameType = c.ssiFrameType;
        g_scd.low[0] = c.low;
        g_scd.high[0] = c.high;
        DisplayVantrel_LED();
        EXPECT_EQ(GreenShown(), c.good) << c.frameLength << "/" << int(c.ssiFrameType) << " " << std::hex << c.low;
        EXPECT_EQ(RedShown(), !c.good) << c.frameLength << "/" << int(c.ssiFrameType) << " " << std::hex << c.low;
    }

    // A frame length without a status bit leaves whichever indicator shows.
    g_link.frameLength = 48;
    g_scd.low[0] = g_scd.high[0] = 0xFFFFFFFF;
    DisplayVantrel_LED();
    EXPECT_FALSE(GreenShown());
    EXPECT_TRUE(RedShown());
}

TEST_F(StatusIndicatorsTest, CrcBytesAndTheirErrorIndicators)
{
    ZeroChipBlocks(0x00, 0x1B);
    ShowCRCs(calvista::CalculateCRCs(false, true, true));
    EXPECT_EQ(DorvelErrors(), 0);
    EXPECT_EQ(PellinError(), 0);
    EXPECT_EQ(Value(ExpertPage(), TAB_EXPERT_DORVEL_CRC), 0x00);
    EXPECT_EQ(Value(SecondExpertPage(), TAB_EXP_2_DORVEL_CRC_EXP2), 0x00);
    EXPECT_EQ(Value(SecondExpertPage(), TAB_EXP_2_PELLIN_CRC_EXP2), 0x1B);

    // A stored byte that differs lights its block's indicators, also where the true checksum is 0.
    ZeroChipBlocks(0x5A, 0x1A);
    ShowCRCs(calvista::CalculateCRCs(false, true, true));
    EXPECT_EQ(DorvelErrors(), 1);
    EXPECT_EQ(PellinError(), 1);
    EXPECT_EQ(Value(ExpertPage(), TAB_EXPERT_DORVEL_CRC), 0x5A);
    EXPECT_EQ(Value(SecondExpertPage(), TAB_EXP_2_DORVEL_CRC_EXP2), 0x5A);
    EXPECT_EQ(Value(SecondExpertPage(), TAB_EXP_2_PELLIN_CRC_EXP2), 0x1A);

    // A repaired byte puts them out again, a checksum of 0 included.
    ZeroChipBlocks(0x00, 0x1B);
    ShowCRCs(calvista::CalculateCRCs(false, true, false));
    EXPECT_EQ(DorvelErrors(), 0);
    EXPECT_EQ(PellinError(), 1);  // not computed: left as it was
    EXPECT_EQ(Value(SecondExpertPage(), TAB_EXP_2_PELLIN_CRC_EXP2), 0x1A);
    ShowCRCs(calvista::PellinFillBuffer(false));
    EXPECT_EQ(PellinError(), 0);
    EXPECT_EQ(Value(SecondExpertPage(), TAB_EXP_2_PELLIN_CRC_EXP2), 0x1B);
}

TEST_F(StatusIndicatorsTest, StoringTheChecksumShowsItAndClearsTheIndicators)
{
    PutText(0x30, "123456789");
    PutText(0x39, std::string(6, '\0'));
    PutByte(0x3F, 0x11);
    ShowCRCs(calvista::CalculateCRCs(false, true, false));
    EXPECT_EQ(DorvelErrors(), 1);

    ShowCRCs(calvista::CalculateCRCs(true, true, false));
    EXPECT_EQ(DorvelErrors(), 0);
    EXPECT_EQ(Value(ExpertPage(), TAB_EXPERT_DORVEL_CRC), calvista::ImageByte(0x3F));
    EXPECT_NE(calvista::ImageByte(0x3F), 0x11);

    // CheckCRCs alone judges without touching the displayed bytes.
    SetCtrlVal(ExpertPage(), TAB_EXPERT_DORVEL_CRC, 0x22);
    PutByte(0x3F, 0x33);
    CheckCRCs(calvista::CalculateCRCs(false, true, false));
    EXPECT_EQ(DorvelErrors(), 1);
    EXPECT_EQ(Value(ExpertPage(), TAB_EXPERT_DORVEL_CRC), 0x22);
}
