// The rotary calibration through its panel, on a simulated ring under a simulated Kelto encoder
// behind ferrolink.dll, the simulated adapter and its master: the ring parameters the encoder
// accepts, aborting, deleting, and guided runs with the operator turning the ring frame by frame.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CalibrationPanel.h"
#include "ConnectionSequence.h"
#include "EncoderRig.h"
#include "FieldPacking.h"
#include "FirmwareSpecifics.h"
#include "KeltoCrc.h"
#include "KeltoPseudoRandomCode.h"
#include "Languages.h"
#include "Panels.h"
#include "ParameterPages.h"
#include "RegisterImage.h"
#include "SensorLinkState.h"
#include "ToolFixture.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/UserInterface.h"

namespace {

constexpr std::uint8_t kInconsistency = 0x40;

class RingCalibrationTest : public MainPanelTest {
protected:
    RingCalibrationTest()
    {
        driver.OnPopup([](const cvi::PopupRecord &) { return 1; });
    }

    void Connect(const char *scenario, std::uint16_t ringPoles)
    {
        const auto model = sim::kelto::KeltoScenario(scenario);
        ASSERT_TRUE(model) << scenario;
        rig_ = std::make_unique<EncoderRig>(*model);
        Encoder().MountRing(ringPoles);
        ASSERT_EQ(InitConnection(), 0);
        LoadImageFromEncoder();
    }

    // The image and the pages as the connection's full read leaves them, taken from the encoder
    // directly to spare the test that read.
    void LoadImageFromEncoder()
    {
        for (std::uint16_t address = 0; address < 96; ++address)
            PutByte(address, Encoder().Eeprom(address));
        for (std::uint16_t address = 196; address < 700; ++address)
            PutByte(address, Encoder().Eeprom(address));
        calvista::SysCfgvectorToRegfields();
        calvista::DorvelCfgvectorToRegfields();
        Visualize();
        SetCtrlAttribute(GetTabPanel(0), TAB_SYS_WRITE_CFG, ATTR_DIMMED, 1);
        SetFwVerSpecific(true, true, true);
    }

    sim::kelto::SimKeltoEncoder &Encoder() { return rig_->Encoder(); }

    std::array<std::uint8_t, 5> RingParameters()
    {
        std::array<std::uint8_t, 5> bytes{};
        for (std::uint16_t address = 0; address < 5; ++address)
            bytes[address] = Encoder().Eeprom(address);
        return bytes;
    }

    void StoreRingParameters(std::array<std::uint8_t, 5> bytes)
    {
        for (std::uint16_t address = 0; address < 5; ++address)
            Encoder().SetEeprom(address, bytes[address]);
    }

    std::vector<std::uint8_t> Eeprom()
    {
        std::vector<std::uint8_t> bytes;
        for (std::uint16_t address = 0; address < 2048; ++address)
            bytes.push_back(Encoder().Eeprom(address));
        return bytes;
    }

    void Open()
    {
        ASSERT_EQ(driver.Click(GetTabPanel(0), TAB_SYS_ROTATIVE_CALIB), cvi::InputStatus::Accepted);
        ASSERT_TRUE(driver.IsShown(g_calibPanel));
    }

    // Ring parameters for that many poles, typed key by key and confirmed with the Enter key.
    void Calculate(unsigned short poles)
    {
        if (poles != kDefaultPoleCount) {
            ASSERT_EQ(driver.Type(g_calibPanel, CALIB_PAN_POLE_NUM, std::to_string(poles)), cvi::InputStatus::Accepted);
        }
        ASSERT_EQ(driver.PressKey(g_calibPanel, CALIB_PAN_POLE_NUM, KEY_ENTER), cvi::InputStatus::Accepted);
        ASSERT_FALSE(Dimmed(g_calibPanel, CALIB_PAN_START_CALIB)) << Notification();
    }

    // The operator turns the ring from the middle of pole `start` forward by `forward` poles, a
    // third of a pole per frame, then back; past `jumpAfter` poles turned the ring jumps by `jump`.
    void TurnRing(unsigned poles, double start, double forward, double jumpAfter = -1.0, double jump = 0.0)
    {
        Encoder().SetFrameMotion([=](std::uint64_t frames) {
            const double turned = static_cast<double>(frames) / 3.0;
            double pole = start + 0.5 + (turned <= forward ? turned : 2 * forward - turned);
            if (jumpAfter >= 0 && turned > jumpAfter)
                pole += jump;
            return pole * 360.0 / poles;
        });
    }

    // From pole 200 once round to the start poles, a whole turn measured, then back.
    void TurnRingOnce(unsigned poles) { TurnRing(poles, 200, (poles - 200) + (poles - 3)); }

    std::string Notification() const { return Text(g_calibPanel, CALIB_PAN_CALIB_NOTIFICATION); }

    std::vector<std::string> PopupMessages() const
    {
        std::vector<std::string> messages;
        for (const cvi::PopupRecord &popup : driver.Popups())
            messages.push_back(popup.title + ": " + popup.message);
        return messages;
    }

    static std::string Popup(int title, int message)
    {
        return std::string(MessageText(title)) + ": " + MessageText(message);
    }

    std::unique_ptr<EncoderRig> rig_;
};

// 350 poles: a code of 9 bits starting at 485.
constexpr std::array<std::uint8_t, 5> kRing350 = {0x01, 0x5E, 0x01, 0xE5, 9};

} // namespace

TEST_F(RingCalibrationTest, EnterAfterOpeningCalculatesTheRingTheEncoderAccepts)
{
    Connect("standard", 350);
    Open();
    EXPECT_EQ(Value(g_calibPanel, CALIB_PAN_POLE_NUM), 350);
    EXPECT_TRUE(Dimmed(g_calibPanel, CALIB_PAN_START_CALIB));
    EXPECT_FALSE(ControlVisible(g_calibPanel, CALIB_PAN_PRC_START)); // expert mode only
    EXPECT_EQ(Notification(), MessageText(73));
    const std::uint8_t modified = Encoder().Eeprom(659);

    Calculate(350);
    EXPECT_EQ(RingParameters(), kRing350);
    EXPECT_EQ(Value(g_calibPanel, CALIB_PAN_PRC_START), 485);
    EXPECT_EQ(Value(g_calibPanel, CALIB_PAN_PRC_BITNUM), 9);
    EXPECT_EQ(Notification(), MessageText(75));
    EXPECT_EQ(Encoder().Eeprom(659), modified & 0xFE);
    // Restarted with the new parameters, the encoder finds them consistent with its ring and
    // sends the calibration format in BiSS.
    EXPECT_EQ(Encoder().LiveErrors() & kInconsistency, 0);
    EXPECT_EQ(Encoder().Ram(17) & 0x38, 0x38);
    EXPECT_FALSE(Encoder().OutputsSsi());
    EXPECT_EQ(g_link.frameLength, 40);
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_VANTREL_APP_TYPE), "Rotary (350 poles)");

    // Enter again without a change does nothing; typing waits for the next Enter.
    const unsigned commands = Encoder().MailboxCommands();
    ASSERT_EQ(driver.PressKey(g_calibPanel, CALIB_PAN_POLE_NUM, KEY_ENTER), cvi::InputStatus::Accepted);
    EXPECT_EQ(Encoder().MailboxCommands(), commands);
    ASSERT_EQ(driver.Type(g_calibPanel, CALIB_PAN_POLE_NUM, "3"), cvi::InputStatus::Accepted);
    EXPECT_TRUE(Dimmed(g_calibPanel, CALIB_PAN_START_CALIB));
    EXPECT_EQ(Notification(), MessageText(73));
    EXPECT_EQ(Encoder().MailboxCommands(), commands);
    EXPECT_TRUE(PopupMessages().empty());
}

TEST_F(RingCalibrationTest, ThePoleCountTypedAfterOpeningIsTheOneCalculated)
{
    Connect("standard", 100);
    Open();
    ASSERT_EQ(driver.Type(g_calibPanel, CALIB_PAN_POLE_NUM, "100"), cvi::InputStatus::Accepted);
    EXPECT_TRUE(Dimmed(g_calibPanel, CALIB_PAN_START_CALIB));
    ASSERT_EQ(driver.PressKey(g_calibPanel, CALIB_PAN_POLE_NUM, KEY_ENTER), cvi::InputStatus::Accepted);

    // 100 poles: a code of 7 bits starting at 99, which the encoder finds on its ring.
    EXPECT_EQ(RingParameters(), (std::array<std::uint8_t, 5>{0x00, 100, 0x00, 99, 7}));
    EXPECT_EQ(Value(g_calibPanel, CALIB_PAN_POLE_NUM), 100);
    EXPECT_EQ(Value(g_calibPanel, CALIB_PAN_PRC_START), 99);
    EXPECT_EQ(Value(g_calibPanel, CALIB_PAN_PRC_BITNUM), 7);
    EXPECT_EQ(Notification(), MessageText(75));
    EXPECT_FALSE(Dimmed(g_calibPanel, CALIB_PAN_START_CALIB));
    EXPECT_EQ(Encoder().LiveErrors() & kInconsistency, 0);
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_VANTREL_APP_TYPE), "Rotary (100 poles)");
}

class CodeLengthRegisterTest : public RingCalibrationTest,
                               public ::testing::WithParamInterface<std::pair<const char *, int>> {};

TEST_P(CodeLengthRegisterTest, FirmwareDecidesTheCodeLengthRegister)
{
    const auto [scenario, codeLength] = GetParam();
    Connect(scenario, 300);
    // Older firmware offers no calibration button; its ring parameters still follow the rule.
    if (Dimmed(GetTabPanel(0), TAB_SYS_ROTATIVE_CALIB))
        ROTATIVE_CALIB_CB(GetTabPanel(0), TAB_SYS_ROTATIVE_CALIB, EVENT_COMMIT, nullptr, 0, 0);
    else
        Open();
    Calculate(300);
    const auto ring = RingParameters();
    EXPECT_EQ(ring[0] << 8 | ring[1], 300);
    EXPECT_EQ(ring[2] << 8 | ring[3], *sim::kelto::CodeStartValue(9, 300));
    EXPECT_EQ(ring[4], codeLength);
    EXPECT_EQ(Encoder().LiveErrors() & kInconsistency, 0);
}

INSTANTIATE_TEST_SUITE_P(Firmware, CodeLengthRegisterTest,
                         ::testing::Values(std::pair<const char *, int>{"fw299999", 0},
                                           std::pair<const char *, int>{"fw300000", 9}));

TEST_F(RingCalibrationTest, AbortingDeletingAndTheEncodersRefusal)
{
    Connect("standard", 350);
    StoreRingParameters(kRing350);
    LoadImageFromEncoder();

    // Abort before any calculation: nothing is written.
    const auto before = Eeprom();
    Open();
    ASSERT_EQ(driver.Click(g_calibPanel, CALIB_PAN_ABORT_CALIB), cvi::InputStatus::Accepted);
    EXPECT_FALSE(driver.IsShown(g_calibPanel));
    EXPECT_EQ(g_calibPanelShown, 0);
    EXPECT_EQ(PopupMessages(), std::vector<std::string>{Popup(2, 33)});
    EXPECT_EQ(Eeprom(), before);

    // Deleting clears the ring parameters and re-writes the chip block as it was.
    Open();
    ASSERT_EQ(driver.Click(g_calibPanel, CALIB_PAN_DELETE_CALIB), cvi::InputStatus::Accepted);
    EXPECT_EQ(PopupMessages().back(), Popup(2, 38));
    EXPECT_EQ(RingParameters(), (std::array<std::uint8_t, 5>{}));
    auto after = Eeprom();
    std::fill_n(after.begin(), 5, std::uint8_t{0xAA});
    auto expected = before;
    std::fill_n(expected.begin(), 5, std::uint8_t{0xAA});
    expected[659] = after[659]; // the modification marker is the write's
    EXPECT_EQ(after, expected);
    EXPECT_EQ(Value(g_calibPanel, CALIB_PAN_POLE_NUM), 350);
    EXPECT_TRUE(Dimmed(g_calibPanel, CALIB_PAN_START_CALIB));
    EXPECT_EQ(Notification(), MessageText(73));
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_VANTREL_APP_TYPE), "Linear");

    // Without a valid factory copy the encoder refuses deleting and calculating alike.
    StoreRingParameters(kRing350);
    Encoder().SetEeprom(460, Encoder().Eeprom(460) | 1);
    ASSERT_EQ(driver.Click(g_calibPanel, CALIB_PAN_DELETE_CALIB), cvi::InputStatus::Accepted);
    EXPECT_EQ(PopupMessages().back(), Popup(2, 39));
    EXPECT_EQ(Notification(), MessageText(91));
    EXPECT_EQ(RingParameters(), kRing350);
    EXPECT_FALSE(Dimmed(g_calibPanel, CALIB_PAN_POLE_NUM));

    const auto refused = Eeprom();
    ASSERT_EQ(driver.PressKey(g_calibPanel, CALIB_PAN_POLE_NUM, KEY_ENTER), cvi::InputStatus::Accepted);
    EXPECT_EQ(Notification(), MessageText(76));
    EXPECT_EQ(Eeprom(), refused);
    EXPECT_TRUE(Dimmed(g_calibPanel, CALIB_PAN_START_CALIB));
    EXPECT_FALSE(Dimmed(g_calibPanel, CALIB_PAN_DELETE_CALIB));
    EXPECT_TRUE(driver.IsShown(g_calibPanel));
}

TEST_F(RingCalibrationTest, GuidedRunWritesTheCalibration)
{
    Connect("standard", 350);
    // An offset the calibration clears.
    for (std::uint16_t address = 0x13; address < 0x17; ++address)
        Encoder().SetEeprom(address, 0x11);
    LoadImageFromEncoder();
    const std::uint8_t zpos = Encoder().Eeprom(0x31);
    Open();
    Calculate(350);

    TurnRingOnce(350);
    ASSERT_EQ(driver.Click(g_calibPanel, CALIB_PAN_START_CALIB), cvi::InputStatus::Accepted);
    EXPECT_EQ(PopupMessages(), std::vector<std::string>{Popup(2, 37)});
    EXPECT_EQ(Value(g_calibPanel, CALIB_PAN_VEF_CALC), 96);
    EXPECT_FALSE(driver.IsShown(g_calibPanel));
    EXPECT_EQ(g_calibPanelShown, 0);

    // Both directions agree: ZPOS stays, the offset is cleared, the ring parameters are kept.
    EXPECT_EQ(Encoder().Eeprom(0x31), zpos);
    for (std::uint16_t address = 0x13; address < 0x17; ++address)
        EXPECT_EQ(Encoder().Eeprom(address), 0) << address;
    EXPECT_EQ(RingParameters(), kRing350);
    EXPECT_EQ(Encoder().LiveErrors() & kInconsistency, 0);
}

namespace {

// What the panel shows while a run goes on, sampled by a timer the way the operator sees it.
struct RunObserver {
    struct Sample {
        std::size_t popups;
        int pole;
        std::string text;
    };
    cvi::TestDriver *driver = nullptr;
    std::vector<Sample> samples;
    bool aborted = false;
};

} // namespace

TEST_F(RingCalibrationTest, PoleJumpRestartsTheSearchAndAbortRestores)
{
    Connect("standard", 350);
    Open();
    Calculate(350);

    // Six poles skipped at pole 100 of the measured turn; a second turn reaches the start again.
    TurnRing(350, 200, 150 + 350 + 347 - 6, 150 + 100, 6);
    RunObserver observer;
    observer.driver = &driver;
    static RunObserver *current = nullptr;
    current = &observer;
    InstallCtrlCallback(
        g_firstPanel, FIRSTPANEL_INIT_TIMER,
        [](int, int, int event, void *, int, int) {
            if (event != EVENT_TIMER_TICK || current->aborted)
                return 0;
            int pole = 0;
            GetCtrlVal(g_calibPanel, CALIB_PAN_POLNUM, &pole);
            char text[256] = {};
            GetCtrlVal(g_calibPanel, CALIB_PAN_CALIB_NOTIFICATION, text);
            current->samples.push_back({current->driver->Popups().size(), pole, text});
            // The operator aborts during the backward measurement.
            if (text == std::string(MessageText(84)) && pole <= -20) {
                current->aborted = true;
                current->driver->Click(g_calibPanel, CALIB_PAN_ABORT_CALIB);
            }
            return 0;
        },
        nullptr);
    SetCtrlAttribute(g_firstPanel, FIRSTPANEL_INIT_TIMER, ATTR_ENABLED, 1);

    ASSERT_EQ(driver.Click(g_calibPanel, CALIB_PAN_START_CALIB), cvi::InputStatus::Accepted);
    SetCtrlAttribute(g_firstPanel, FIRSTPANEL_INIT_TIMER, ATTR_ENABLED, 0);
    current = nullptr;

    EXPECT_EQ(PopupMessages(), (std::vector<std::string>{Popup(1, 35), Popup(2, 33)}));
    bool jumped = false;
    bool measuredAgain = false;
    for (const RunObserver::Sample &sample : observer.samples) {
        if (sample.popups == 0 && sample.text == MessageText(80))
            jumped = jumped || sample.pole > 50;
        if (sample.popups == 1 && sample.text == MessageText(80))
            measuredAgain = measuredAgain || sample.pole <= 10;
    }
    EXPECT_TRUE(jumped);
    EXPECT_TRUE(measuredAgain) << "the forward measurement starts again from the start poles";
    EXPECT_TRUE(observer.aborted);

    // Aborted with ring parameters in place: they are cleared.
    EXPECT_FALSE(driver.IsShown(g_calibPanel));
    EXPECT_EQ(RingParameters(), (std::array<std::uint8_t, 5>{}));
}

class PassMarkTest : public RingCalibrationTest,
                     public ::testing::WithParamInterface<std::pair<unsigned short, bool>> {};

TEST_P(PassMarkTest, MeanVefOf40)
{
    const auto [poles, passes] = GetParam();
    Connect("standard", poles);
    Open();
    Calculate(poles);
    // Means 50 and 200 of 250 in both directions: a VEF of 40 without level deviation.
    Encoder().SetCalibrationSignals({0.4, 1.6, 0.4, 1.6});
    TurnRingOnce(poles);
    ASSERT_EQ(driver.Click(g_calibPanel, CALIB_PAN_START_CALIB), cvi::InputStatus::Accepted);
    EXPECT_EQ(PopupMessages(), std::vector<std::string>{passes ? Popup(2, 37) : Popup(1, 36)});
    const auto ring = RingParameters();
    EXPECT_EQ(ring[0] << 8 | ring[1], passes ? poles : 0);
    EXPECT_FALSE(driver.IsShown(g_calibPanel));
}

INSTANTIATE_TEST_SUITE_P(Poles, PassMarkTest,
                         ::testing::Values(std::pair<unsigned short, bool>{298, true},
                                           std::pair<unsigned short, bool>{300, false}));

class ZeroPositionTest : public RingCalibrationTest, public ::testing::WithParamInterface<std::pair<int, bool>> {};

// The backward signals sit low (means 100 and 100 of 250: deviation 20, VEF 80) while the forward
// ones are ideal (VEF 96): the zero position moves one step up, unless it is the last one.
TEST_P(ZeroPositionTest, CorrectionWithinItsList)
{
    const auto [zpos, corrected] = GetParam();
    Connect("standard", 350);
    std::array<std::uint8_t, 16> block{};
    for (std::uint16_t i = 0; i < 16; ++i)
        block[i] = Encoder().Eeprom(0x30 + i);
    block[1] = static_cast<std::uint8_t>((block[1] & ~0x1F) | zpos);
    block[15] = sim::kelto::DorvelBlockCrc(block.data());
    // The ring calculation takes the zero position from the factory copy: both copies hold it.
    for (std::uint16_t i = 0; i < 16; ++i) {
        Encoder().SetEeprom(0x30 + i, block[i]);
        Encoder().SetEeprom(0x90 + i, block[i]);
    }
    LoadImageFromEncoder();
    Open();
    Calculate(350);

    Encoder().SetCalibrationSignals({0.96, 1.04, 0.8, 0.8});
    TurnRingOnce(350);
    ASSERT_EQ(driver.Click(g_calibPanel, CALIB_PAN_START_CALIB), cvi::InputStatus::Accepted);
    const std::uint8_t written = Encoder().Eeprom(0x31) & 0x1F;
    if (corrected) {
        EXPECT_EQ(PopupMessages(), std::vector<std::string>{Popup(2, 37)});
        EXPECT_EQ(written, zpos + 1);
        EXPECT_EQ(RingParameters(), kRing350);
    } else {
        EXPECT_EQ(PopupMessages(), std::vector<std::string>{Popup(0, 40)});
        EXPECT_EQ(Notification(), MessageText(88));
        EXPECT_EQ(written, zpos);
        EXPECT_EQ(RingParameters(), (std::array<std::uint8_t, 5>{}));
    }
    EXPECT_FALSE(driver.IsShown(g_calibPanel));
}

INSTANTIATE_TEST_SUITE_P(Zpos, ZeroPositionTest,
                         ::testing::Values(std::pair<int, bool>{10, true}, std::pair<int, bool>{31, false}));
