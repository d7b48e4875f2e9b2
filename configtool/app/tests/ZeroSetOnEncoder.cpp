// The position page's zero set and stored-error read on a simulated Kelto encoder through
// ferrolink.dll, the simulated adapter and its master, driven by clicks on the tool's panels.
#include <cstdint>
#include <memory>
#include <string>

#include "ConnectionSequence.h"
#include "EncoderRig.h"
#include "KeltoMemoryMap.h"
#include "Panels.h"
#include "ParameterPages.h"
#include "SensorLinkState.h"
#include "Timers.h"
#include "ToolFixture.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/UserInterface.h"

namespace {

namespace error = sim::kelto::error;

constexpr int kSysPage = 0;
constexpr int kPositionPage = 1;

class ZeroSetOnEncoderTest : public MainPanelTest {
protected:
    ZeroSetOnEncoderTest() : savedSettings_(ReferenceSysSettings), savedStartset_(g_rotaryStartset) {}
    ~ZeroSetOnEncoderTest() override
    {
        rig_.reset();
        ReferenceSysSettings = savedSettings_;
        g_rotaryStartset = savedStartset_;
    }

    void Connect(const char *scenario, LinkProtocol protocol)
    {
        const auto model = sim::kelto::KeltoScenario(scenario);
        ASSERT_TRUE(model) << scenario;
        rig_ = std::make_unique<EncoderRig>(*model);
        Encoder().MountScale();
        if (protocol == kProtocolSsi) {
            // As the connection sequence reaches an SSI encoder: 24 bits, divider 20.
            g_link.protocol = kProtocolSsi;
            g_link.frameLength = 24;
            g_link.scdClockDivider = 20;
        }
        ASSERT_EQ(InitConnection(), 0);
        ASSERT_EQ(driver.SelectTab(g_mainPanel, MAIN_PANEL_TABS, kPositionPage), cvi::InputStatus::Accepted);
    }

    // The resolution the system page showed after the read.
    void UseResolution(int index)
    {
        SetCtrlVal(Page(kSysPage), TAB_SYS_VANTREL_RES, index);
        ReferenceSysSettings.resolution = index;
    }

    // The start-set type the system page showed after the read: 1 takes the shift in degrees.
    static void UseStartset(int startset)
    {
        SetCtrlVal(Page(kSysPage), TAB_SYS_STARTSET, startset);
        SetStartsetType();
    }

    static int Page(int index) { return GetTabPanel(index); }
    sim::kelto::SimKeltoEncoder &Encoder() { return rig_->Encoder(); }

    std::string EepromBytes(std::uint16_t address, int count)
    {
        std::string bytes;
        for (int i = 0; i < count; ++i)
            bytes += Hex(Encoder().Eeprom(static_cast<std::uint16_t>(address + i)));
        return bytes;
    }
    std::string RamBytes(std::uint16_t address, int count)
    {
        std::string bytes;
        for (int i = 0; i < count; ++i)
            bytes += Hex(Encoder().Ram(static_cast<std::uint16_t>(address + i)));
        return bytes;
    }
    static std::string Hex(std::uint8_t byte)
    {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        return {kDigits[byte >> 4], kDigits[byte & 15], ' '};
    }

    double Number(int panel, int control) const
    {
        double value = 0.0;
        GetCtrlVal(panel, control, &value);
        return value;
    }

    // Latched and stored by the encoder, then gone from the head.
    void LetErrorsPass(std::uint8_t bits)
    {
        Encoder().SetErrors(bits);
        Encoder().LiveErrors();
        Encoder().SetErrors(0);
    }

    std::unique_ptr<EncoderRig> rig_;

private:
    SysPageSettings savedSettings_;
    std::uint8_t savedStartset_;
};

} // namespace

TEST_F(ZeroSetOnEncoderTest, ZeroSetShiftsTheOffsetTheEncoderTook)
{
    Connect("standard", kProtocolBiss);
    UseResolution(1);
    UseStartset(0);
    // 256 counts below the scale's origin: the preset leaves the offset 0x100.
    Encoder().SetPosition(-256.0);
    const int position = Page(kPositionPage);
    ASSERT_EQ(driver.SetValue(position, TAB_POS_ZERO_SHIFT, 9000), cvi::InputStatus::Accepted);
    SetCtrlVal(position, TAB_POS_SENSDATA, 77);

    ASSERT_EQ(driver.Click(position, TAB_POS_ZEROSET), cvi::InputStatus::Accepted);
    EXPECT_EQ(g_link.lastError, 0);
    EXPECT_EQ(Encoder().ZeroSetsCarriedOut(), 1u);
    EXPECT_EQ(EepromBytes(19, 4), "00 00 04 E8 ");  // 256 + 1000
    EXPECT_EQ(RamBytes(19, 4), "00 00 04 E8 ");
    EXPECT_EQ(Encoder().OutputCount(), 1000);
    EXPECT_EQ(Number(Page(2), TAB_EXPERT_OFFSET), 0x4E8);
    EXPECT_EQ(Encoder().Eeprom(sim::kelto::address::kModificationIndicator) & 1, 0);  // changed by the tool
    EXPECT_EQ(Value(position, TAB_POS_SENSDATA), 9000);
    EXPECT_EQ(Text(g_warnPanel, WARN_PANEL_WARN_TXT), "Update started, please do not remove Vantrel.");
    EXPECT_FALSE(driver.IsShown(g_warnPanel));
    EXPECT_TRUE(IsTimerEnabled(ToolTimer::Main));
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE), "READY");

    // A preset the mailbox does not answer ends the zero set; the supervision takes over.
    Encoder().SetMailboxAnswers(false);
    ASSERT_EQ(driver.Click(position, TAB_POS_ZEROSET), cvi::InputStatus::Accepted);
    EXPECT_NE(g_link.lastError, 0);
    EXPECT_EQ(Encoder().ZeroSetsCarriedOut(), 1u);
    EXPECT_EQ(EepromBytes(19, 4), "00 00 04 E8 ");
    EXPECT_TRUE(IsTimerEnabled(ToolTimer::Main));
}

TEST_F(ZeroSetOnEncoderTest, RotaryStartSetOnAnSsiEncoderPresetsTwiceAndReturnsToSsi)
{
    Connect("ssi-output", kProtocolSsi);
    const std::uint8_t output = Encoder().Eeprom(sim::kelto::address::kOutput);
    UseResolution(1);
    UseStartset(1);
    const int position = Page(kPositionPage);
    ASSERT_EQ(driver.SetValue(position, TAB_POS_ZERO_SHIFT_DEG, 95.0), cvi::InputStatus::Accepted);
    ASSERT_EQ(Number(position, TAB_POS_ZERO_SHIFT_DEG), 90.0);  // onto the 11.25 degree grid
    SetCtrlVal(position, TAB_POS_SENSDATA, 77);

    ASSERT_EQ(driver.Click(position, TAB_POS_ZEROSET), cvi::InputStatus::Accepted);
    EXPECT_EQ(g_link.lastError, 0);
    EXPECT_EQ(EepromBytes(23, 2), "05 DC ");  // 1500, row 8 at 1 µm
    EXPECT_EQ(RamBytes(23, 2), "05 DC ");
    EXPECT_EQ(Number(Page(2), TAB_EXPERT_STARTSET_OFFSET), 1500);
    EXPECT_EQ(Number(position, TAB_POS_ZERO_SHIFT_DEG), 90.0);  // the pages refreshed with the marker
    EXPECT_EQ(Encoder().ZeroSetsCarriedOut(), 2u);
    EXPECT_EQ(Encoder().OutputCount(), 0);  // the neutral shift of 10000 keeps the preset's zero
    EXPECT_EQ(Value(position, TAB_POS_SENSDATA), 77);  // a rotary start set leaves the display

    // Back on SSI as it came, its configured output untouched.
    EXPECT_TRUE(Encoder().OutputsSsi());
    EXPECT_EQ(g_link.protocol, kProtocolSsi);
    EXPECT_EQ(Encoder().Eeprom(sim::kelto::address::kOutput), output);
}

TEST_F(ZeroSetOnEncoderTest, StoredErrorsAreShownBeforeTheLatchesAreCleared)
{
    Connect("standard", kProtocolBiss);
    const int position = Page(kPositionPage);
    ASSERT_EQ(driver.SetValue(position, TAB_POS_READ_SENSORS, 1), cvi::InputStatus::Accepted);
    const std::string readingMessage = Text(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE);
    LetErrorsPass(error::kDriveInMk | error::kSignalLow);

    ASSERT_EQ(driver.Click(position, TAB_POS_READ_STORED), cvi::InputStatus::Accepted);
    EXPECT_EQ(g_link.lastError, 0);
    struct Led {
        int control;
        int lit;
    };
    for (const Led led : {Led{TAB_POS_VANTREL_READY_2, 0}, Led{TAB_POS_SSI_OVERCLK_2, 0}, Led{TAB_POS_DORVEL_SIG_LOW_2, 1},
                          Led{TAB_POS_DRV_IN_MK_2, 1}, Led{TAB_POS_NO_MAGNETICTAPE_2, 0},
                          Led{TAB_POS_INCONSISTENCY_2, 0}, Led{TAB_POS_PELLIN_ERROR_2, 0}})
        EXPECT_EQ(Value(position, led.control), led.lit) << led.control;
    EXPECT_EQ(Encoder().Ram(37), 0);
    EXPECT_EQ(Encoder().Ram(27), 0);
    EXPECT_EQ(Encoder().Ram(36), 0x18);  // the stored errors themselves stay

    // Reading goes on as it was.
    EXPECT_TRUE(IsTimerEnabled(ToolTimer::Read));
    EXPECT_FALSE(IsTimerEnabled(ToolTimer::Main));
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE), readingMessage);
    int dimmed = 0;
    GetTabPageAttribute(g_mainPanel, MAIN_PANEL_TABS, 0, ATTR_DIMMED, &dimmed);
    EXPECT_EQ(dimmed, 1);

    // A mailbox that gives no answer: nothing was shown, so nothing is cleared.
    LetErrorsPass(error::kNoMagnetBand);
    Encoder().SetMailboxAnswers(false);
    ASSERT_EQ(driver.Click(position, TAB_POS_READ_STORED), cvi::InputStatus::Accepted);
    EXPECT_NE(g_link.lastError, 0);
    EXPECT_EQ(Value(position, TAB_POS_NO_MAGNETICTAPE_2), 0);
    EXPECT_EQ(Encoder().Ram(37), error::kNoMagnetBand);
    EXPECT_EQ(Encoder().Ram(27), error::kNoMagnetBand);
    EXPECT_TRUE(IsTimerEnabled(ToolTimer::Main));  // the supervision takes over
    EXPECT_FALSE(IsTimerEnabled(ToolTimer::Read));
}

TEST_F(ZeroSetOnEncoderTest, RestartButtonRestartsTheEncoderAndKeepsItsError)
{
    Connect("standard", kProtocolBiss);
    g_expertMode = 1;
    SetTabPageAttribute(g_mainPanel, MAIN_PANEL_TABS, 3, ATTR_VISIBLE, 1);
    ASSERT_EQ(driver.SelectTab(g_mainPanel, MAIN_PANEL_TABS, 3), cvi::InputStatus::Accepted);

    ASSERT_EQ(driver.Click(Page(3), TAB_EXP_2_RESTART_SENSOR), cvi::InputStatus::Accepted);
    EXPECT_EQ(g_link.lastError, 0);
    EXPECT_EQ(g_link.connected, 1);
    EXPECT_TRUE(IsTimerEnabled(ToolTimer::Main));
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE), "READY");

    // An encoder that no longer answers: the restart fails, the tool says so and starts again.
    Encoder().SetLost(true);
    driver.AnswerPopup(1);
    ASSERT_EQ(driver.Click(Page(3), TAB_EXP_2_RESTART_SENSOR), cvi::InputStatus::Accepted);
    EXPECT_NE(g_link.lastError, 0);
    ASSERT_FALSE(driver.Popups().empty());
    EXPECT_EQ(driver.Popups().back().message,
              "Vantrel was removed and/or data communication error. Application will be restarted.");
    EXPECT_TRUE(driver.IsShown(g_firstPanel));
}
