// The tool's connection from start-up on, through its panels in virtual time: the search on the
// first panel, the read, the supervision of the main panel, losing the encoder and finding it (or
// another one) again, and closing. ferrolink.dll talks to a simulated Kelto encoder behind the
// simulated adapter.
#include <memory>
#include <string>
#include <vector>

#include "EncoderRig.h"
#include "Languages.h"
#include "Panels.h"
#include "SensorLinkState.h"
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

TEST_F(ConnectionLifecycleTest, ABissEncoderConnectsOnTheFirstTick)
{
    Plug("standard");
    ASSERT_EQ(Start(), 0);
    EXPECT_EQ(TicksUntilConnected(3), 1);
    ExpectConnectedPanel();
    EXPECT_EQ(g_link.protocol, kProtocolBiss);
    EXPECT_TRUE(PopupMessages().empty());
    EXPECT_EQ(Text(g_firstPanel, FIRSTPANEL_INIT_STATUS_TXT), MessageText(67));

    // The supervision keeps it while it answers.
    driver.Advance(2.0);
    EXPECT_TRUE(PopupMessages().empty());
    EXPECT_TRUE(IsTimerEnabled(ToolTimer::Main));
}
