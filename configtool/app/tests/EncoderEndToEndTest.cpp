// What the tool shows and adapts, read from a simulated Kelto encoder through ferrolink.dll, the
// simulated adapter and its master: the firmware's frame length on the bus, the parameter state
// and the chip blocks' CRC indicators.
#include <memory>
#include <string>

#include "BlockCrc.h"
#include "BlockTransfer.h"
#include "ChipBlockCrcs.h"
#include "DataStatusLed.h"
#include "EncoderRig.h"
#include "FirmwareSpecifics.h"
#include "LiveRead.h"
#include "MasterSetup.h"
#include "Panels.h"
#include "SensorInformation.h"
#include "SensorLinkState.h"
#include "ToolFixture.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/UserInterface.h"

namespace {

constexpr int kReadEeprom = 2;

class EncoderEndToEndTest : public MainPanelTest {
protected:
    void Connect(const char *scenario)
    {
        const auto model = sim::kelto::KeltoScenario(scenario);
        ASSERT_TRUE(model) << scenario;
        rig_ = std::make_unique<EncoderRig>(*model);
        ASSERT_EQ(ConfigInterface(), 0);
        ASSERT_EQ(g_link.connected, 1);
    }

    void Read(unsigned start, int count) { ASSERT_EQ(TransferBissData(kReadEeprom, start, count), 0); }

    BISS_U32 ConfiguredFrameLength() const
    {
        BISS_U32 length = 0;
        EXPECT_EQ(BISS_GetFrameParam(g_link.handle, kEncoderChannel, eBISS_FP_SCD_LENGTH, &length), 0);
        return length;
    }

    // One supervision poll: the SCD without a control access, then the status indicator.
    int PollScd()
    {
        const int code = BISS_ReadSCD(g_link.handle, g_scd.high, g_scd.low, &g_scd.crcStatus, 0, &g_scd.controlDone);
        DisplayVantrel_LED();
        return code;
    }

    int DorvelErrors() const
    {
        const int expert = Value(GetTabPanel(2), TAB_EXPERT_DORVEL_CRC_ERROR);
        EXPECT_EQ(Value(GetTabPanel(3), TAB_EXP_2_DORVEL_CRC_ERROR_EXP2), expert);
        return expert;
    }
    int PellinError() const { return Value(GetTabPanel(3), TAB_EXP_2_PELLIN_CRC_ERROR_EXP2); }

    std::unique_ptr<EncoderRig> rig_;
};

} // namespace

TEST_F(EncoderEndToEndTest, FirmwareDecidesTheBissFrameOnTheBus)
{
    struct Case {
        const char *scenario;
        const char *firmware;
        BISS_U32 frameLength;
        bool vefDimmed;
    };
    const Case cases[] = {{"fw141000", "141000_R01.07", 40, true}, {"fw141001", "141001_R01.07", 54, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.scenario);
        Connect(c.scenario);
        Read(214, 13);  // the firmware text
        SetAdditionalInfoFields();
        EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_FWVER), c.firmware);

        // As the connection sequence adapts to a BiSS encoder.
        SetFwVerSpecific(true, false, false);
        SetFwVerSpecific(false, true, false);
        ASSERT_EQ(ConfigInterface(), 0);  // connected: only the master's configuration
        EXPECT_EQ(ConfiguredFrameLength(), c.frameLength);
        EXPECT_EQ(Dimmed(GetTabPanel(1), TAB_POS_VEF), c.vefDimmed);

        // The encoder's frame fits: the master reads it and the status bit says good data.
        SetCtrlAttribute(g_mainPanel, MAIN_PANEL_MAIN_LED_GREEN, ATTR_VISIBLE, 0);
        SetCtrlAttribute(g_mainPanel, MAIN_PANEL_MAIN_LED_RED, ATTR_VISIBLE, 1);
        ASSERT_EQ(PollScd(), 0);
        EXPECT_TRUE(ControlVisible(g_mainPanel, MAIN_PANEL_MAIN_LED_GREEN));
        EXPECT_FALSE(ControlVisible(g_mainPanel, MAIN_PANEL_MAIN_LED_RED));
        rig_.reset();
    }
}

TEST_F(EncoderEndToEndTest, ModificationIndicatorOfTheEncoder)
{
    struct Case {
        const char *scenario;
        const char *state;
    };
    for (const Case &c : {Case{"modified", "MODIFIED"}, Case{"standard", "ORIGINAL"}}) {
        SCOPED_TRACE(c.scenario);
        Connect(c.scenario);
        Read(659, 1);
        SetParamterModificationState();
        EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_PARAM_STATE), c.state);
        rig_.reset();
    }
}

TEST_F(EncoderEndToEndTest, CorruptedStoredCrcLightsItsIndicator)
{
    Connect("standard");
    sim::kelto::SimKeltoEncoder &encoder = rig_->Encoder();
    const std::uint8_t dorvelCrc = encoder.Eeprom(0x3F);
    const std::uint8_t pellinCrc = encoder.Eeprom(0x5F);

    encoder.SetEeprom(0x3F, static_cast<std::uint8_t>(dorvelCrc ^ 0x40));
    Read(0x30, 0x30);  // both chip blocks
    ShowCRCs(calvista::CalculateCRCs(false, true, true));
    EXPECT_EQ(DorvelErrors(), 1);
    EXPECT_EQ(PellinError(), 0);
    EXPECT_EQ(Value(GetTabPanel(2), TAB_EXPERT_DORVEL_CRC), dorvelCrc ^ 0x40);
    EXPECT_EQ(Value(GetTabPanel(3), TAB_EXP_2_PELLIN_CRC_EXP2), pellinCrc);

    // The other block's byte corrupted, the first one repaired: only the stored bytes read again.
    encoder.SetEeprom(0x3F, dorvelCrc);
    encoder.SetEeprom(0x5F, static_cast<std::uint8_t>(pellinCrc ^ 0x01));
    Read(0x3F, 1);
    Read(0x5F, 1);
    ShowCRCs(calvista::CalculateCRCs(false, true, true));
    EXPECT_EQ(DorvelErrors(), 0);
    EXPECT_EQ(PellinError(), 1);
    EXPECT_EQ(Value(GetTabPanel(2), TAB_EXPERT_DORVEL_CRC), dorvelCrc);
    EXPECT_EQ(Value(GetTabPanel(3), TAB_EXP_2_PELLIN_CRC_EXP2), pellinCrc ^ 0x01);
}
