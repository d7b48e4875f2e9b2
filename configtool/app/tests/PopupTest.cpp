// Popups with the texts of the active language, waiting with every timer stopped, the idle
// sleep policy and the default cursor, and each restored afterwards.
#include "Languages.h"
#include "Panels.h"
#include "Timers.h"
#include "ToolFixture.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/UserInterface.h"

namespace {

struct Observed {
    bool init = true;
    bool main = true;
    bool read = true;
    int sleepPolicy = 0;
    int cursor = 0;
};

class PopupTest : public ToolTest {
protected:
    PopupTest()
    {
        Start();
        driver.OnPopup([this](const cvi::PopupRecord &) {
            during.init = IsTimerEnabled(ToolTimer::Init);
            during.main = IsTimerEnabled(ToolTimer::Main);
            during.read = IsTimerEnabled(ToolTimer::Read);
            during.sleepPolicy = GetSleepPolicy();
            GetMouseCursor(&during.cursor);
            return answer;
        });
    }

    int answer = 1;
    Observed during;
};

} // namespace

TEST_F(PopupTest, EachTimerComesBackInItsEarlierState)
{
    struct Case {
        bool init, main, read;
    };
    const Case cases[] = {{true, false, false}, {false, true, true}, {false, false, false}, {true, true, true}};
    for (const Case &entry : cases) {
        SetTimerEnabled(ToolTimer::Init, entry.init);
        SetTimerEnabled(ToolTimer::Main, entry.main);
        SetTimerEnabled(ToolTimer::Read, entry.read);
        SetSleepPolicy(SLEEP_NONE);
        SetMouseCursor(CURSOR_WAIT);

        EXPECT_EQ(LocalizedMessagePopup(2, 42), 0);
        EXPECT_FALSE(during.init || during.main || during.read);
        EXPECT_EQ(during.sleepPolicy, SLEEP_MORE);
        EXPECT_EQ(during.cursor, CURSOR_DEFAULT);

        EXPECT_EQ(IsTimerEnabled(ToolTimer::Init), entry.init);
        EXPECT_EQ(IsTimerEnabled(ToolTimer::Main), entry.main);
        EXPECT_EQ(IsTimerEnabled(ToolTimer::Read), entry.read);
        EXPECT_EQ(GetSleepPolicy(), SLEEP_NONE);
        int cursor = 0;
        GetMouseCursor(&cursor);
        EXPECT_EQ(cursor, CURSOR_WAIT);
    }
}

TEST_F(PopupTest, NoTimerTicksWhileAPopupWaits)
{
    int ticks = 0;
    InstallCtrlCallback(
        g_firstPanel, FIRSTPANEL_INIT_TIMER,
        [](int, int, int event, void *data, int, int) {
            if (event == EVENT_TIMER_TICK)
                ++*static_cast<int *>(data);
            return 0;
        },
        &ticks);
    SetTimerEnabled(ToolTimer::Init, true);
    driver.OnPopup([this, &ticks](const cvi::PopupRecord &) {
        const int before = ticks;
        driver.Advance(1.0);
        EXPECT_EQ(ticks, before);
        return 1;
    });
    LocalizedGenericMessagePopup(0, 26, 7, 5, 0, 0, 1, 1, 2);
    driver.Advance(1.0);
    EXPECT_GE(ticks, 3);
}

TEST_F(PopupTest, GenericPopupsTakeTheirButtonsFromTheTable)
{
    answer = 2;
    EXPECT_EQ(LocalizedGenericMessagePopup(2, 16, 8, 9, 0, 0, 2, 0, 2), 2);
    const cvi::PopupRecord &shown = driver.Popups().back();
    EXPECT_EQ(shown.kind, cvi::PopupRecord::Kind::Generic);
    EXPECT_EQ(shown.title, "Notification");
    EXPECT_EQ(shown.message, "Should the existing file be overwritten?");
    EXPECT_EQ(shown.buttons, (std::vector<std::string>{"Yes", "No", ""}));
    EXPECT_EQ(shown.escapeButton, 2);
    EXPECT_EQ(shown.enterButton, 0);

    g_language = kGerman;
    answer = 1;
    EXPECT_EQ(LocalizedGenericMessagePopup(0, 27, 6, 5, 0, 0, 1, 1, 2), 1);
    EXPECT_EQ(driver.Popups().back().title, "Fehler");
    EXPECT_EQ(driver.Popups().back().message, "Das angeschlossene Vantrel wurde entfernt.");
    EXPECT_EQ(driver.Popups().back().buttons, (std::vector<std::string>{"Neu verbinden", "Beenden", ""}));
}
