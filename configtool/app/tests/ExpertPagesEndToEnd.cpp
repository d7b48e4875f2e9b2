// The expert register page on a simulated Kelto encoder through ferrolink.dll, the simulated
// adapter and its master, driven through the page's controls in expert mode.
#include <algorithm>
#include <memory>
#include <string>

#include "EncoderRig.h"
#include "FieldPacking.h"
#include "MasterSetup.h"
#include "Panels.h"
#include "ParameterPages.h"
#include "RegisterImage.h"
#include "SensorLinkState.h"
#include "ToolFixture.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/UserInterface.h"

using namespace std::string_literals;

namespace {

class ExpertPagesEndToEndTest : public MainPanelTest {
protected:
    ExpertPagesEndToEndTest()
    {
        EnterExpertMode();
        page = GetTabPanel(3);
        EXPECT_EQ(driver.SelectTab(g_mainPanel, MAIN_PANEL_TABS, 3), cvi::InputStatus::Accepted);
    }

    void Connect(const char *scenario = "standard")
    {
        const auto model = sim::kelto::KeltoScenario(scenario);
        ASSERT_TRUE(model) << scenario;
        rig_ = std::make_unique<EncoderRig>(*model);
        ASSERT_EQ(ConfigInterface(), 0);
    }

    // An SSI encoder reached as the connection reaches it, its pages shown as after the full read.
    void ConnectSsi()
    {
        const auto model = sim::kelto::KeltoScenario("ssi-32bit-gray");
        ASSERT_TRUE(model);
        rig_ = std::make_unique<EncoderRig>(*model);
        g_link.protocol = kProtocolSsi;
        g_link.frameLength = 24;
        g_link.scdClockDivider = 20;
        ASSERT_EQ(ConfigInterface(), 0);
        ShowAsRead();
    }

    // The system and chip blocks and the firmware as the full read leaves them on the pages.
    void ShowAsRead()
    {
        rig_->TakeOverEeprom(0, 96);
        rig_->TakeOverEeprom(208, 231);
        EncoderRig::ShowImage();
    }

    sim::kelto::SimKeltoEncoder &Encoder() { return rig_->Encoder(); }

    void Choose(int control, double value) { ASSERT_EQ(driver.SetValue(page, control, value), cvi::InputStatus::Accepted); }
    void Press(int control) { ASSERT_EQ(driver.Click(page, control), cvi::InputStatus::Accepted); }

    // The page left the busy state behind it.
    void ExpectReady() const
    {
        EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE), "READY");
        EXPECT_EQ(g_link.lastError, 0);
    }

    int page = 0;
    std::unique_ptr<EncoderRig> rig_;
};

} // namespace

TEST_F(ExpertPagesEndToEndTest, SingleEepromBytesAtABlockRelativeAddress)
{
    Connect();
    Choose(TAB_EXP_2_BASE_ADDRESS, 0xD0);  // "PRODUCT Info"
    Choose(TAB_EXP_2_REGISTER_ADDRESS, 6);
    Press(TAB_EXP_2_READ_REGISTER);
    EXPECT_EQ(Value(page, TAB_EXP_2_REGISTER_DATA), '3');  // "308012_R01.07" at 214
    EXPECT_EQ(calvista::RegisterImage()[214], calvista::kCellNeverRead);
    ExpectReady();

    // A write goes through the image; without the restart box the encoder is not restarted.
    Choose(TAB_EXP_2_BASE_ADDRESS, 0x1D9);  // "SERVICE Info"
    Choose(TAB_EXP_2_REGISTER_ADDRESS, 12);
    Choose(TAB_EXP_2_REGISTER_DATA, 0x4B);
    const unsigned commands = Encoder().MailboxCommands();
    Press(TAB_EXP_2_WRITE_REGISTER);
    EXPECT_EQ(Encoder().Eeprom(485), 0x4B);
    EXPECT_EQ(calvista::RegisterImage()[485], 0x4B);
    EXPECT_EQ(Encoder().MailboxCommands(), commands + 1);
    ExpectReady();

    // With the restart box the tool reconnects afterwards.
    Choose(TAB_EXP_2_REG_WRITE_RESTART, 1);
    Choose(TAB_EXP_2_REGISTER_DATA, 0x4C);
    SetCtrlVal(g_mainPanel, MAIN_PANEL_VANTREL_CONN_STATUS, 0);
    Press(TAB_EXP_2_WRITE_REGISTER);
    EXPECT_EQ(Encoder().Eeprom(485), 0x4C);
    EXPECT_EQ(Value(g_mainPanel, MAIN_PANEL_VANTREL_CONN_STATUS), 1);
    EXPECT_EQ(g_link.connected, 1);
    ExpectReady();
}

TEST_F(ExpertPagesEndToEndTest, AnSsiEncoderAnswersInBissAndStaysThereAfterAnEepromWrite)
{
    ConnectSsi();
    ASSERT_TRUE(Encoder().OutputsSsi());
    Choose(TAB_EXP_2_BASE_ADDRESS, 0xD0);
    Choose(TAB_EXP_2_REGISTER_ADDRESS, 0);
    Press(TAB_EXP_2_READ_REGISTER);
    EXPECT_EQ(Value(page, TAB_EXP_2_REGISTER_DATA), '6');  // material number "604117"
    EXPECT_TRUE(Encoder().OutputsSsi());
    EXPECT_EQ(g_link.protocol, kProtocolSsi);
    ExpectReady();

    // Without the restart box the encoder keeps answering BiSS after an EEPROM write.
    Choose(TAB_EXP_2_REGISTER_ADDRESS, 300);
    Choose(TAB_EXP_2_REGISTER_DATA, 0x31);
    Press(TAB_EXP_2_WRITE_REGISTER);
    EXPECT_EQ(Encoder().Eeprom(508), 0x31);
    EXPECT_FALSE(Encoder().OutputsSsi());
    EXPECT_EQ(g_link.protocol, kProtocolBiss);
    ExpectReady();

    ExpectReady();
}

TEST_F(ExpertPagesEndToEndTest, RamBytesUpToAddress127)
{
    Connect();
    Choose(TAB_EXP_2_BASE_ADDRESS, 0x30);
    Choose(TAB_EXP_2_TARGET_RW, 1);  // "BISS RAM"
    EXPECT_EQ(Value(page, TAB_EXP_2_BASE_ADDRESS), 0);
    Choose(TAB_EXP_2_REGISTER_ADDRESS, 300);
    EXPECT_EQ(Value(page, TAB_EXP_2_REGISTER_ADDRESS), 127);
    Encoder().SetRam(127, 0x5A);
    Press(TAB_EXP_2_READ_REGISTER);
    EXPECT_EQ(Value(page, TAB_EXP_2_REGISTER_DATA), 0x5A);

    // LED_BLINK_TIME in the RAM only; the expert chip page shows the unpacked system block.
    const std::uint8_t stored = Encoder().Eeprom(0x1C);
    Choose(TAB_EXP_2_REGISTER_ADDRESS, 0x1C);
    Choose(TAB_EXP_2_REGISTER_DATA, 77);
    Press(TAB_EXP_2_WRITE_REGISTER);
    EXPECT_EQ(Encoder().Ram(0x1C), 77);
    EXPECT_EQ(Encoder().Eeprom(0x1C), stored);
    EXPECT_EQ(Value(GetTabPanel(2), TAB_EXPERT_LED_BLINK_TIME), 77);
    ExpectReady();
}

TEST_F(ExpertPagesEndToEndTest, TextRunRoundTripAndTheEndOfTheEeprom)
{
    Connect();
    Choose(TAB_EXP_2_REG_START_ADDRESS, 485);  // FIRST_SERVICE_NOTES
    ASSERT_EQ(driver.SetText(page, TAB_EXP_2_VANTREL_REG_DATA_ASCII, "AB CD"), cvi::InputStatus::Accepted);
    Press(TAB_EXP_2_WRITE_REGISTER_2);
    EXPECT_EQ(Encoder().EepromText(485, 5), "AB\0CD"s);
    for (std::uint16_t i = 0; i < 5; ++i)
        EXPECT_EQ(calvista::ImageByte(485 + i), static_cast<std::uint8_t>("AB\0CD"[i])) << i;
    ExpectReady();

    ASSERT_EQ(driver.SetText(page, TAB_EXP_2_VANTREL_REG_DATA_ASCII, ""), cvi::InputStatus::Accepted);
    Choose(TAB_EXP_2_REG_BYTES_TO_READ, 5);
    Press(TAB_EXP_2_READ_REGISTER_2);
    EXPECT_EQ(Text(page, TAB_EXP_2_VANTREL_REG_DATA_ASCII), "AB CD");

    // Six characters from 2044: the four that fit are written, nothing beyond the image.
    Choose(TAB_EXP_2_REG_START_ADDRESS, 2044);
    ASSERT_EQ(driver.SetText(page, TAB_EXP_2_VANTREL_REG_DATA_ASCII, "WXYZ12"), cvi::InputStatus::Accepted);
    const unsigned commands = Encoder().MailboxCommands();
    Press(TAB_EXP_2_WRITE_REGISTER_2);
    EXPECT_EQ(Encoder().MailboxCommands(), commands + 4);
    EXPECT_EQ(Encoder().EepromText(2044, 4), "WXYZ");
    EXPECT_EQ(calvista::RegisterImage()[2048], 0);
    ExpectReady();

    Choose(TAB_EXP_2_REG_BYTES_TO_READ, 0);
    Press(TAB_EXP_2_READ_REGISTER_2);
    EXPECT_EQ(Text(page, TAB_EXP_2_VANTREL_REG_DATA_ASCII), "");
}

TEST_F(ExpertPagesEndToEndTest, RepairWritesBothChecksumsAndRestartsTheEncoder)
{
    Connect();
    const std::uint8_t dorvelCrc = Encoder().Eeprom(0x3F);
    const std::uint8_t pellinCrc = Encoder().Eeprom(0x5F);
    Encoder().SetEeprom(0x3F, static_cast<std::uint8_t>(dorvelCrc ^ 0x40));
    Encoder().SetEeprom(0x5F, static_cast<std::uint8_t>(pellinCrc ^ 0x01));
    ShowAsRead();
    EXPECT_EQ(Value(page, TAB_EXP_2_DORVEL_CRC_ERROR_EXP2), 1);
    EXPECT_EQ(Value(page, TAB_EXP_2_PELLIN_CRC_ERROR_EXP2), 1);
    SetCtrlVal(g_mainPanel, MAIN_PANEL_VANTREL_CONN_STATUS, 0);

    Press(TAB_EXP_2_REPAIR_CRCS);
    EXPECT_EQ(Encoder().Eeprom(63), dorvelCrc);
    EXPECT_EQ(Encoder().Eeprom(95), pellinCrc);
    EXPECT_EQ(Value(page, TAB_EXP_2_DORVEL_CRC_EXP2), dorvelCrc);
    EXPECT_EQ(Value(page, TAB_EXP_2_PELLIN_CRC_EXP2), pellinCrc);
    EXPECT_EQ(Value(page, TAB_EXP_2_DORVEL_CRC_ERROR_EXP2), 0);
    EXPECT_EQ(Value(page, TAB_EXP_2_PELLIN_CRC_ERROR_EXP2), 0);
    // Restarted: the tool reconnected and left its busy state.
    EXPECT_EQ(Value(g_mainPanel, MAIN_PANEL_VANTREL_CONN_STATUS), 1);
    EXPECT_EQ(g_link.connected, 1);
    ExpectReady();
}

TEST_F(ExpertPagesEndToEndTest, AnAddressBeyondTheMemoryIsRefused)
{
    Connect();
    Choose(TAB_EXP_2_BASE_ADDRESS, 0x1D9);
    Choose(TAB_EXP_2_REGISTER_ADDRESS, 2047);
    Choose(TAB_EXP_2_REGISTER_DATA, 0x55);
    const calvista::RegisterImageCells image = calvista::RegisterImage();
    const unsigned commands = Encoder().MailboxCommands();
    const std::string message = Text(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE);

    for (const int button : {TAB_EXP_2_READ_REGISTER, TAB_EXP_2_WRITE_REGISTER}) {
        driver.AnswerPopup(1);
        Press(button);
    }
    ASSERT_EQ(driver.Popups().size(), 2u);
    for (const cvi::PopupRecord &popup : driver.Popups()) {
        EXPECT_EQ(popup.title, "Error");
        EXPECT_EQ(popup.message, "Address 2520 lies outside the EEPROM (0-2047). Nothing was read or written.");
    }
    EXPECT_EQ(Value(page, TAB_EXP_2_REGISTER_DATA), 0x55);
    EXPECT_TRUE(calvista::RegisterImage() == image);
    EXPECT_EQ(Encoder().MailboxCommands(), commands);
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE), message);
}
