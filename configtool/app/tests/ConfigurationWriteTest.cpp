// Writing, reading and restoring the configuration through the system page and the sensor menu,
// against a simulated Kelto encoder behind ferrolink.dll, the simulated adapter and its master:
// what reaches the encoder's EEPROM, and what the pages show afterwards.
#include <array>
#include <memory>
#include <span>
#include <string>

#include "BlockCrc.h"
#include "ConfigurationAreas.h"
#include "ConnectionSequence.h"
#include "EncoderRig.h"
#include "FieldPacking.h"
#include "FirmwareSpecifics.h"
#include "Panels.h"
#include "ParameterPages.h"
#include "RegisterFields.h"
#include "RegisterImage.h"
#include "SensorMemoryMap.h"
#include "Timers.h"
#include "SensorLinkState.h"
#include "ToolFixture.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/UserInterface.h"

namespace {

using Eeprom = std::array<std::uint8_t, 2048>;

constexpr std::uint16_t kOutputByte = 0x10;
constexpr std::uint16_t kSsiResolution = 0x12;
constexpr std::uint16_t kSelres = 0x30;
constexpr std::uint16_t kFctrLow = 0x34;
constexpr std::uint16_t kFctrHigh = 0x35;

class ConfigurationWriteTest : public MainPanelTest {
protected:
    ~ConfigurationWriteTest() override { g_paramFileShown = 0; }

    void Plug(const char *scenario, void (*adjust)(sim::kelto::KeltoModel &) = nullptr)
    {
        auto model = sim::kelto::KeltoScenario(scenario);
        ASSERT_TRUE(model) << scenario;
        if (adjust != nullptr)
            adjust(*model);
        rig_ = std::make_unique<EncoderRig>(*model);
        ASSERT_EQ(InitConnection(), 0);
    }

    sim::kelto::SimKeltoEncoder &Encoder() { return rig_->Encoder(); }

    Eeprom EncoderEeprom()
    {
        Eeprom bytes{};
        for (std::uint16_t address = 0; address < bytes.size(); ++address)
            bytes[address] = Encoder().Eeprom(address);
        return bytes;
    }

    // The identification and information the connection read leaves in the image (its full read
    // is shown by the connection test); with all = true the configuration blocks too, on the pages.
    void TakeOverEncoderImage(bool all)
    {
        rig_->TakeOverEeprom(calvista::kDeviceIdAddress, 660);
        if (!all)
            return;
        rig_->TakeOverEeprom(0, 96);
        EncoderRig::ShowImage();
        SetFwVerSpecific(true, true, false);
        SetCtrlAttribute(Sys(), TAB_SYS_WRITE_CFG, ATTR_DIMMED, 1);
    }

    static int Sys() { return GetTabPanel(0); }

    // Every byte that differs lies in the written configuration, is the marker or, on a frame-type
    // capable encoder, the identifier's frame-type character.
    static void ExpectOnlyConfigurationChanged(const Eeprom &before, const Eeprom &after)
    {
        for (std::uint16_t address = 0; address < before.size(); ++address) {
            if (before[address] == after[address])
                continue;
            bool written = address == calvista::kModificationMarkerAddress ||
                           (address == calvista::kFrameTypeIdentifierAddress && g_firmware.frameTypeCapable);
            for (const calvista::AddressRange &range : calvista::kWrittenConfiguration)
                written = written || range.Contains(address);
            EXPECT_TRUE(written) << "address " << address << " changed from " << int{before[address]} << " to "
                                 << int{after[address]};
        }
    }

    static void ExpectDorvelCrcFits(const Eeprom &eeprom)
    {
        std::array<std::uint16_t, 15> block{};
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = eeprom[kSelres + i];
        EXPECT_EQ(eeprom[0x3F], calvista::CalculateSum(block, calvista::kDorvelCrcInit, calvista::kDorvelCrcPolynomial));
    }

    std::unique_ptr<EncoderRig> rig_;
};

} // namespace

TEST_F(ConfigurationWriteTest, ReadShowsTheEncoderAndWriteChangesOnlyItsConfiguration)
{
    Plug("standard", [](sim::kelto::KeltoModel &model) { model.ssiResolution = 5; });
    TakeOverEncoderImage(false);
    // A parameter file on the page whose values were not written yet.
    SetCtrlVal(Sys(), TAB_SYS_SELECTED_FILE, "plant.vantrelcfg");
    g_paramFileShown = 1;
    SetCtrlAttribute(Sys(), TAB_SYS_WRITE_CFG, ATTR_DIMMED, 0);

    ASSERT_EQ(driver.Click(Sys(), TAB_SYS_READ_CFG), cvi::InputStatus::Accepted);
    EXPECT_EQ(g_link.lastError, 0);
    for (std::uint16_t address = 0; address < 96; ++address)
        ASSERT_EQ(calvista::ImageByte(address), Encoder().Eeprom(address)) << address;
    EXPECT_EQ(Value(Sys(), TAB_SYS_VANTREL_RES), 3);  // "5 µm/inc"
    EXPECT_EQ(Text(Sys(), TAB_SYS_SELECTED_FILE), "");
    EXPECT_EQ(g_paramFileShown, 0);
    EXPECT_TRUE(Dimmed(Sys(), TAB_SYS_WRITE_CFG));
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE), "READY");

    const Eeprom before = EncoderEeprom();
    ASSERT_EQ(driver.SetValue(Sys(), TAB_SYS_VANTREL_RES, 2), cvi::InputStatus::Accepted);
    ASSERT_FALSE(Dimmed(Sys(), TAB_SYS_WRITE_CFG));
    ASSERT_EQ(driver.Click(Sys(), TAB_SYS_WRITE_CFG), cvi::InputStatus::Accepted);
    EXPECT_EQ(g_link.lastError, 0);
    const Eeprom after = EncoderEeprom();

    ExpectOnlyConfigurationChanged(before, after);
    EXPECT_EQ(after[kSsiResolution], 2);
    EXPECT_EQ(after[kSelres] & 0x1F, 18);
    ExpectDorvelCrcFits(after);
    EXPECT_EQ(after[calvista::kModificationMarkerAddress], before[calvista::kModificationMarkerAddress] & 0xFE);
    // The frame type stays as the page showed it (DIAG.).
    EXPECT_EQ(after[calvista::kFrameTypeIdentifierAddress], '2');
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_PARAM_STATE), "MODIFIED");
    EXPECT_TRUE(Dimmed(Sys(), TAB_SYS_WRITE_CFG));
    EXPECT_FALSE(driver.IsShown(g_warnPanel));
    EXPECT_FALSE(driver.HadUnansweredPopup());
}

TEST_F(ConfigurationWriteTest, WithoutAValidFactoryCopyTheTypeCodeGivesTheSettings)
{
    Plug("mirror-invalid", [](sim::kelto::KeltoModel &model) {
        model.typeCode = "KELTO-L-1-S0ED-M5EQ-F";  // SSI, 32 bits, binary, rising; 1 µm; edge time 2
        model.ssiResolution = 10;
        model.modificationIndicator = 0xFE;
    });
    TakeOverEncoderImage(true);
    ASSERT_EQ(Text(g_mainPanel, MAIN_PANEL_VANTREL_TYPECODE), "KELTO-L-1-S0ED-M5EQ-F");
    const Eeprom before = EncoderEeprom();

    driver.AnswerPopup(1);  // "Yes"
    ASSERT_EQ(driver.ChooseMenuItem(MainMenuBar(), VANTREL_MENU_FACTORYDEF), cvi::InputStatus::Accepted);
    ASSERT_EQ(driver.Popups().size(), 1U) << driver.Popups().back().message;
    EXPECT_EQ(driver.Popups()[0].message, "Are you sure to restore factory defaults?");
    EXPECT_EQ(driver.Popups()[0].escapeButton, 2);
    EXPECT_EQ(g_link.lastError, 0);
    const Eeprom after = EncoderEeprom();

    ExpectOnlyConfigurationChanged(before, after);
    const std::uint8_t output = after[kOutputByte];
    EXPECT_EQ(output & 0x01, 0x01);       // SSI
    EXPECT_EQ((output >> 4) & 0x03, 3);   // 32 bits
    EXPECT_EQ(output & 0x04, 0);          // binary
    EXPECT_EQ(output & 0x02, 0);          // rising edge
    EXPECT_EQ(after[kSsiResolution], 1);
    EXPECT_EQ(after[kSelres] & 0x1F, 16);
    EXPECT_EQ(after[kFctrLow] | ((after[kFctrHigh] & 0x7F) << 8), 4);
    ExpectDorvelCrcFits(after);
    // The standard frame, also in the identifier; restored is as delivered.
    EXPECT_EQ(output & 0x08, 0x08);
    EXPECT_EQ(after[calvista::kFrameTypeIdentifierAddress], '1');
    EXPECT_EQ(after[calvista::kModificationMarkerAddress], 0xFF);
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_PARAM_STATE), "ORIGINAL");
    EXPECT_FALSE(driver.IsShown(g_warnPanel));
}

TEST_F(ConfigurationWriteTest, ValidFactoryCopyIsWrittenBackWithoutTheTypeCode)
{
    Plug("standard", [](sim::kelto::KeltoModel &model) {
        model.typeCode = "unusable";  // never looked at
        model.modificationIndicator = 0xFE;
    });
    // The operator's changes since delivery, in both written ranges.
    Encoder().SetEeprom(0x01, 44);
    Encoder().SetEeprom(kSsiResolution, 10);
    Encoder().SetEeprom(kSelres, 28);
    TakeOverEncoderImage(true);
    const Eeprom before = EncoderEeprom();

    driver.AnswerPopup(1);
    ASSERT_EQ(driver.ChooseMenuItem(MainMenuBar(), VANTREL_MENU_FACTORYDEF), cvi::InputStatus::Accepted);
    EXPECT_EQ(g_link.lastError, 0);
    const Eeprom after = EncoderEeprom();

    ExpectOnlyConfigurationChanged(before, after);
    for (const calvista::AddressRange &range : calvista::kWrittenConfiguration) {
        for (std::uint16_t address = range.start; address < range.start + range.count; ++address)
            EXPECT_EQ(after[address], after[address + 96]) << address;
    }
    EXPECT_EQ(after[calvista::kModificationMarkerAddress], 0xFF);
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_PARAM_STATE), "ORIGINAL");
    EXPECT_EQ(Value(Sys(), TAB_SYS_VANTREL_RES), 1);
}

TEST_F(ConfigurationWriteTest, DeclinedOrUnusableRestoreLeavesTheEncoderAlone)
{
    Plug("mirror-invalid", [](sim::kelto::KeltoModel &model) { model.typeCode = "KELTO-L-1-S0ED-M5EQ"; });
    TakeOverEncoderImage(true);
    const Eeprom before = EncoderEeprom();
    const unsigned commands = Encoder().MailboxCommands();

    driver.AnswerPopup(2);  // "No"
    ASSERT_EQ(driver.ChooseMenuItem(MainMenuBar(), VANTREL_MENU_FACTORYDEF), cvi::InputStatus::Accepted);
    EXPECT_EQ(Encoder().MailboxCommands(), commands);

    // Five tokens: the operator hears why, and the encoder restarts as it was.
    driver.AnswerPopup(1);
    driver.AnswerPopup(1);
    ASSERT_EQ(driver.ChooseMenuItem(MainMenuBar(), VANTREL_MENU_FACTORYDEF), cvi::InputStatus::Accepted);
    ASSERT_EQ(driver.Popups().size(), 3U);
    EXPECT_EQ(driver.Popups()[2].title, "Error");
    EXPECT_EQ(driver.Popups()[2].message, "Unable to restore factory defaults.");
    EXPECT_EQ(EncoderEeprom(), before);
    EXPECT_EQ(g_link.lastError, 0);
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE), "READY");
}

TEST_F(ConfigurationWriteTest, FailedWriteHandsTheEncoderToSupervision)
{
    Plug("standard");
    TakeOverEncoderImage(true);
    const Eeprom before = EncoderEeprom();
    ASSERT_EQ(driver.SetValue(Sys(), TAB_SYS_VANTREL_RES, 2), cvi::InputStatus::Accepted);
    Encoder().SetMailboxAnswers(false);

    ASSERT_EQ(driver.Click(Sys(), TAB_SYS_WRITE_CFG), cvi::InputStatus::Accepted);
    EXPECT_NE(g_link.lastError, 0);
    EXPECT_EQ(EncoderEeprom(), before);
    EXPECT_FALSE(driver.IsShown(g_warnPanel));
    EXPECT_TRUE(IsTimerEnabled(ToolTimer::Main));
    // Nothing was written: the change is still pending.
    EXPECT_FALSE(Dimmed(Sys(), TAB_SYS_WRITE_CFG));
    SetTimerEnabled(ToolTimer::Main, false);
}

TEST_F(ConfigurationWriteTest, RestoreStopsWhereTheSwitchToBissFails)
{
    const auto model = sim::kelto::KeltoScenario("ssi-32bit-gray");
    ASSERT_TRUE(model);
    rig_ = std::make_unique<EncoderRig>(*model);
    // The SSI settings the connection reaches this encoder with.
    g_link.protocol = kProtocolSsi;
    g_link.frameLength = 24;
    g_link.scdClockDivider = 20;
    ASSERT_EQ(InitConnection(), 0);
    ASSERT_EQ(g_link.protocol, kProtocolSsi);
    TakeOverEncoderImage(true);
    const Eeprom before = EncoderEeprom();
    const SensorLinkState ssiLink = g_link;

    // What the switch alone sends to an encoder whose mailbox has stopped answering.
    Encoder().SetMailboxAnswers(false);
    sim::biss::SimTrace &trace = rig_->Adapter().master.Trace();
    trace.Clear();
    ASSERT_NE(SSItoBISS(), 0);
    const std::size_t switchTraffic = trace.Events().size();
    SetTimerEnabled(ToolTimer::Main, false);

    // The restore sends nothing beyond its failed switch, and hands over to supervision.
    g_link = ssiLink;
    trace.Clear();
    driver.AnswerPopup(1);  // "Yes"
    ASSERT_EQ(driver.ChooseMenuItem(MainMenuBar(), VANTREL_MENU_FACTORYDEF), cvi::InputStatus::Accepted);
    EXPECT_NE(g_link.lastError, 0);
    EXPECT_EQ(trace.Events().size(), switchTraffic);
    EXPECT_EQ(EncoderEeprom(), before);
    EXPECT_TRUE(IsTimerEnabled(ToolTimer::Main));
    SetTimerEnabled(ToolTimer::Main, false);
}
