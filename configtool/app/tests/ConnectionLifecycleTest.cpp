// The tool's connection from start-up on, through its panels in virtual time: the search on the
// first panel, the read, the supervision of the main panel, losing the encoder and finding it (or
// another one) again, and closing. ferrolink.dll talks to a simulated Kelto encoder behind the
// simulated adapter.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "EncoderRig.h"
#include "Languages.h"
#include "Panels.h"
#include "SensorLinkState.h"
#include "SensorPower.h"
#include "Timers.h"
#include "ToolFixture.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/UserInterface.h"

namespace {

class ConnectionLifecycleTest : public ToolTest {
protected:
    ConnectionLifecycleTest()
    {
        driver.OnPopup([this](const cvi::PopupRecord &popup) {
            if (onPopup)
                return onPopup(popup);
            return 1;
        });
    }

    static sim::kelto::KeltoModel Model(const char *scenario)
    {
        const auto model = sim::kelto::KeltoScenario(scenario);
        EXPECT_TRUE(model) << scenario;
        return model.value_or(sim::kelto::KeltoModel{});
    }
    void Plug(const char *scenario) { rig_ = std::make_unique<EncoderRig>(Model(scenario)); }
    sim::kelto::SimKeltoEncoder &Encoder() { return rig_->Encoder(); }

    // Ticks until the main panel shows (at most the given number of connection ticks).
    int TicksUntilConnected(int most)
    {
        for (int tick = 1; tick <= most; ++tick) {
            driver.Advance(0.25);
            if (driver.IsShown(g_mainPanel))
                return tick;
        }
        return 0;
    }

    std::vector<std::string> PopupMessages() const
    {
        std::vector<std::string> messages;
        for (const cvi::PopupRecord &popup : driver.Popups())
            messages.push_back(popup.message);
        return messages;
    }

    void ExpectConnectedPanel()
    {
        EXPECT_TRUE(driver.IsShown(g_mainPanel));
        EXPECT_FALSE(driver.IsShown(g_firstPanel));
        EXPECT_FALSE(IsTimerEnabled(ToolTimer::Init));
        EXPECT_TRUE(IsTimerEnabled(ToolTimer::Main));
        EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE), MessageText(63));
        EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_VANTREL_CONN_STATUS_TXT), "Vantrel connected");
        EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_SERIALNUM1), Encoder().Model().parameterDate);
        EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_SERIALNUM2), Encoder().Model().runningNumber);
        EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_VANTREL_TYPECODE), Encoder().Model().typeCode);
    }

    std::function<int(const cvi::PopupRecord &)> onPopup;
    std::unique_ptr<EncoderRig> rig_;
};

} // namespace

TEST_F(ConnectionLifecycleTest, AnSsiEncoderConnectsOnTheSecondTickAndStaysOnSsi)
{
    Plug("ssi-output");
    ASSERT_EQ(Start(), 0);
    EXPECT_EQ(TicksUntilConnected(4), 2);
    ExpectConnectedPanel();
    EXPECT_TRUE(PopupMessages().empty());
    // Switched to BiSS for the read, and back.
    EXPECT_TRUE(Encoder().OutputsSsi());
    EXPECT_GT(Encoder().MailboxCommands(), 200u);
    EXPECT_EQ(g_link.protocol, kProtocolSsi);
    EXPECT_EQ(g_link.frameLength, 24);
    driver.Advance(1.0);
    EXPECT_TRUE(PopupMessages().empty());

    // A restart finds it through the failed BiSS test, switches it and puts it back on SSI.
    const unsigned commands = Encoder().MailboxCommands();
    EXPECT_EQ(RestartSensor(), 0);
    EXPECT_TRUE(PopupMessages().empty());
    EXPECT_GT(Encoder().MailboxCommands(), commands);
    EXPECT_TRUE(Encoder().OutputsSsi());
    EXPECT_EQ(g_link.protocol, kProtocolSsi);
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_VANTREL_CONN_STATUS_TXT), "Vantrel connected");
    EXPECT_TRUE(IsTimerEnabled(ToolTimer::Main));
}

TEST_F(ConnectionLifecycleTest, WithoutAdapterOrEncoderTheSearchGoesOn)
{
    Plug("standard");
    rig_.reset();  // the driver is loaded, the adapter unplugged
    ASSERT_EQ(Start(), 0);
    EXPECT_EQ(TicksUntilConnected(2), 0);
    EXPECT_EQ(Text(g_firstPanel, FIRSTPANEL_INIT_STATUS_TXT), MessageText(68));
    EXPECT_TRUE(IsTimerEnabled(ToolTimer::Init));

    Plug("standard");
    Encoder().SetLost(true);
    EXPECT_EQ(TicksUntilConnected(2), 0);
    EXPECT_EQ(Text(g_firstPanel, FIRSTPANEL_INIT_STATUS_TXT), MessageText(69));
    EXPECT_TRUE(IsTimerEnabled(ToolTimer::Init));
    EXPECT_FALSE(IsTimerEnabled(ToolTimer::Main));
    EXPECT_TRUE(PopupMessages().empty());
}

TEST_F(ConnectionLifecycleTest, ABissEncoderConnectsOnTheFirstTickIsFoundAgainWhenLostAndCloseEndsEverything)
{
    Plug("standard");
    ASSERT_EQ(Start(), 0);
    ASSERT_EQ(TicksUntilConnected(1), 1);
    ExpectConnectedPanel();
    EXPECT_EQ(g_link.protocol, kProtocolBiss);
    EXPECT_EQ(Text(g_firstPanel, FIRSTPANEL_INIT_STATUS_TXT), MessageText(67));
    // The supervision keeps it while it answers.
    driver.Advance(1.0);
    EXPECT_TRUE(PopupMessages().empty());

    // Unplugged and plugged back while the question is open: the same encoder gets the short read
    // (test access, serial number texts, firmware text, system and chip blocks, frame type).
    unsigned before = Encoder().MailboxCommands();
    onPopup = [this](const cvi::PopupRecord &) {
        Encoder().SetLost(false);
        return 1;
    };
    Encoder().SetLost(true);
    driver.Advance(0.5);
    ASSERT_EQ(PopupMessages(), std::vector<std::string>{MessageText(27)});
    EXPECT_EQ(driver.Popups()[0].buttons[0], "Re-Connect");
    EXPECT_EQ(Encoder().MailboxCommands() - before, 1u + 8 + 6 + 13 + 96 + 1);
    ExpectConnectedPanel();
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE), MessageText(63));

    // Another encoder in its place is read completely.
    sim::kelto::KeltoModel other = Model("standard");
    other.runningNumber = "00054321";
    onPopup = [this, other](const cvi::PopupRecord &) {
        rig_->Replace(other);
        return 1;
    };
    Encoder().SetLost(true);
    driver.Advance(0.5);
    ASSERT_EQ(PopupMessages().size(), 2u);
    EXPECT_EQ(Encoder().MailboxCommands(), 1u + 14 + 199 + 1);
    ExpectConnectedPanel();

    // "Close": every timer stops and the link is closed.
    onPopup = [](const cvi::PopupRecord &) { return 2; };
    Encoder().SetLost(true);
    driver.Advance(0.5);
    ASSERT_EQ(PopupMessages().size(), 3u);
    EXPECT_TRUE(driver.QuitRequested());
    EXPECT_FALSE(IsTimerEnabled(ToolTimer::Init));
    EXPECT_FALSE(IsTimerEnabled(ToolTimer::Main));
    EXPECT_FALSE(IsTimerEnabled(ToolTimer::Read));
    EXPECT_EQ(g_link.handle, 0u);
}
