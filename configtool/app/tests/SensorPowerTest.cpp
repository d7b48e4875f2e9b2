// Switching the encoder off and on from the tool and restarting it, through ferrolink.dll to a
// simulated Kelto encoder behind the simulated adapter.
#include <memory>
#include <string>

#include "EncoderRig.h"
#include "Languages.h"
#include "MasterSetup.h"
#include "Panels.h"
#include "SensorLinkState.h"
#include "SensorPower.h"
#include "Timers.h"
#include "ToolFixture.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/UserInterface.h"

namespace {

class SensorPowerTest : public MainPanelTest {
protected:
    SensorPowerTest()
    {
        driver.OnPopup([](const cvi::PopupRecord &) { return 1; });
    }

    void Plug(const char *scenario)
    {
        const auto model = sim::kelto::KeltoScenario(scenario);
        ASSERT_TRUE(model) << scenario;
        rig_ = std::make_unique<EncoderRig>(*model);
    }
    void Unplug() { rig_.reset(); }
    sim::kelto::SimKeltoEncoder &Encoder() { return rig_->Encoder(); }

    std::vector<std::string> PopupMessages() const
    {
        std::vector<std::string> messages;
        for (const cvi::PopupRecord &popup : driver.Popups())
            messages.push_back(popup.message);
        return messages;
    }

    void ExpectSwitchedOff()
    {
        EXPECT_EQ(g_link.handle, 0u);
        EXPECT_FALSE(IsTimerEnabled(ToolTimer::Main));
        EXPECT_FALSE(MenuDimmed(VANTREL_MENU_POWERON));
        for (const int item : {VANTREL_MENU_POWEROFF, VANTREL_MENU_LOAD_FILE, VANTREL_MENU_SAVE_FILE,
                               VANTREL_MENU_FACTORYDEF})
            EXPECT_TRUE(MenuDimmed(item)) << item;
        EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_VANTREL_CONN_STATUS_TXT), "Vantrel not connected");
        EXPECT_FALSE(ControlVisible(g_mainPanel, MAIN_PANEL_MAIN_LED_GREEN));
        EXPECT_FALSE(ControlVisible(g_mainPanel, MAIN_PANEL_MAIN_LED_RED));
        int dimmed = 0;
        GetTabPageAttribute(g_mainPanel, MAIN_PANEL_TABS, 0, ATTR_DIMMED, &dimmed);
        EXPECT_EQ(dimmed, 1);
        EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE), MessageText(63));
    }

    std::unique_ptr<EncoderRig> rig_;
};

} // namespace

TEST_F(SensorPowerTest, PowerOffClosesTheLinkAndOnlyPowerOnStaysAvailable)
{
    Plug("standard");
    ASSERT_EQ(ConfigInterface(), 0);
    ASSERT_NE(g_link.handle, 0u);
    SetCtrlVal(GetTabPanel(0), TAB_SYS_SELECTED_FILE, "C:\\parameters.vantrelcfg");
    PowerOFF();
    ExpectSwitchedOff();
    EXPECT_EQ(g_link.connected, 0);
    EXPECT_EQ(Text(GetTabPanel(0), TAB_SYS_SELECTED_FILE), "");
}
TEST_F(SensorPowerTest, PowerOnWithoutAdapterOrEncoderSwitchesOffAgain)
{
    Plug("standard");
    Unplug();
    EXPECT_EQ(PowerON(), eBISS_NO_CONNECTION);
    EXPECT_EQ(PopupMessages(), std::vector<std::string>{MessageText(21)});
    ExpectSwitchedOff();

    Plug("standard");
    Encoder().SetLost(true);
    EXPECT_EQ(PowerON(), eBISS_BISS_COMM_FAILED);
    EXPECT_EQ(PopupMessages().back(), MessageText(22));
    ExpectSwitchedOff();
}
