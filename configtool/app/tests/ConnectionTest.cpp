// Connecting to a simulated Kelto encoder through ferrolink.dll, the simulated adapter and its
// master: configure and test, switch an SSI encoder to BiSS and back, read the whole
// configuration onto the pages, and keep a capable encoder on the standard frame.
#include <memory>
#include <string>

#include "ConnectionSequence.h"
#include "EncoderRig.h"
#include "FieldPacking.h"
#include "FirmwareSpecifics.h"
#include "Panels.h"
#include "ParameterPages.h"
#include "RegisterImage.h"
#include "SensorLinkState.h"
#include "ToolFixture.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/UserInterface.h"

namespace {

class ConnectionTest : public MainPanelTest {
protected:
    void Plug(const char *scenario)
    {
        const auto model = sim::kelto::KeltoScenario(scenario);
        ASSERT_TRUE(model) << scenario;
        rig_ = std::make_unique<EncoderRig>(*model);
    }

    sim::kelto::SimKeltoEncoder &Encoder() { return rig_->Encoder(); }

    // The SSI settings the connection tries once BiSS found the master but not the encoder.
    static void UseSsiSettings()
    {
        g_link.protocol = kProtocolSsi;
        g_link.frameLength = 24;
        g_link.scdClockDivider = 20;
    }

    std::unique_ptr<EncoderRig> rig_;
};

} // namespace

TEST_F(ConnectionTest, ABissEncoderIsReadOntoThePagesWithProgress)
{
    Plug("standard");
    SetTabPageAttribute(g_mainPanel, MAIN_PANEL_TABS, 0, ATTR_DIMMED, 1);
    ASSERT_EQ(InitConnection(), 0);
    EXPECT_EQ(Value(g_mainPanel, MAIN_PANEL_VANTREL_CONN_STATUS), 1);
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_VANTREL_CONN_STATUS_TXT), "Vantrel connected");
    int dimmed = 1;
    GetTabPageAttribute(g_mainPanel, MAIN_PANEL_TABS, 0, ATTR_DIMMED, &dimmed);
    EXPECT_EQ(dimmed, 0);

    DisplayPanel(g_firstPanel);
    SetCtrlVal(g_firstPanel, FIRSTPANEL_INIT_STATUS_TXT, "READING...");
    SetCtrlAttribute(g_mainPanel, MAIN_PANEL_VANTREL_TYPECODE, ATTR_DIMMED, 0);
    ASSERT_EQ(ReadData(), 0);
    EXPECT_EQ(Text(g_firstPanel, FIRSTPANEL_INIT_STATUS_TXT), "READING...100%");
    for (int image : {FIRSTPANEL_LOGO_LOAD, FIRSTPANEL_LOGO_LOAD_2, FIRSTPANEL_LOGO_LOAD_5, FIRSTPANEL_LOGO_LOAD_8})
        EXPECT_FALSE(Dimmed(g_firstPanel, image)) << image;

    // Every byte of the read blocks is the encoder's.
    struct Block {
        std::uint16_t start, count;
    };
    for (const Block block : {Block{0, 96}, Block{196, 8}, Block{208, 23}, Block{371, 8}, Block{397, 4},
                              Block{401, 6}, Block{407, 40}, Block{447, 7}, Block{659, 1}}) {
        for (std::uint16_t address = block.start; address < block.start + block.count; ++address)
            ASSERT_EQ(calvista::ImageByte(address), Encoder().Eeprom(address)) << address;
    }
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_SERIALNUM3), "K1PA");
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_VANTREL_TYPECODE), "KELTO-L-1-B00D-M5EQ-E");
    EXPECT_EQ(Value(GetTabPanel(0), TAB_SYS_VANTREL_RES), 1);
    EXPECT_EQ(ReferenceSysSettings.resolution, 1);
    EXPECT_TRUE(Dimmed(GetTabPanel(0), TAB_SYS_WRITE_CFG));
}

TEST_F(ConnectionTest, AnSsiEncoderIsSwitchedToBissForItsMailboxAndBack)
{
    Plug("ssi-32bit-gray");
    const std::uint8_t configured = Encoder().Eeprom(16);
    UseSsiSettings();
    ASSERT_EQ(InitConnection(), 0);
    ASSERT_EQ(SSItoBISS(), 0);
    EXPECT_EQ(g_link.switchedToBiss, 0);
    EXPECT_EQ(g_link.protocol, kProtocolBiss);
    EXPECT_EQ(Encoder().Ram(16), configured & 0xFE);
    EXPECT_EQ(Encoder().Eeprom(16), configured);
    EXPECT_EQ(TestConnection(), 0);  // the mailbox answers

    // The system block and the firmware as the full read leaves them (that read is shown above).
    rig_->TakeOverEeprom(0, 96);
    rig_->TakeOverEeprom(208, 231);
    EncoderRig::ShowImage();
    EXPECT_EQ(Value(GetTabPanel(0), TAB_SYS_COMM_PROTOCOL), 1);
    EXPECT_EQ(ReferenceSysSettings.ssiLength, 3);

    ASSERT_EQ(BISStoSSI(), 0);
    EXPECT_EQ(g_link.protocol, kProtocolSsi);
    EXPECT_EQ(g_link.frameLength, 32);
    EXPECT_EQ(g_link.scdClockDivider, 9);
    EXPECT_EQ(Encoder().Ram(16), configured | 0x01);
    EXPECT_EQ(TestConnection(), 0);
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_VANTREL_CONN_STATUS_TXT), "Vantrel connected");
}

TEST_F(ConnectionTest, ACapableEncoderIsKeptOnTheStandardFrame)
{
    Plug("standard");
    ASSERT_EQ(InitConnection(), 0);
    Encoder().SetRam(16, 0x08);
    SetFirmwareFromText("308012_R01.07");
    ASSERT_EQ(CheckFrameTypeVantrel(), 0);
    EXPECT_EQ(Encoder().Ram(16), 0x00);

    Encoder().SetRam(16, 0x08);
    SetFirmwareFromText("142999_R01.07");
    ASSERT_EQ(CheckFrameTypeVantrel(), 0);
    EXPECT_EQ(Encoder().Ram(16), 0x08);
}
