#include "Languages.h"

#include <string>

#include "MessageTexts.h"
#include "Panels.h"
#include "Timers.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/Localization.h"

int g_language = kEnglish;
int g_previousLanguage = kEnglish;

namespace {

calvista::Language TableOf(int language)
{
    return language == kGerman ? calvista::Language::German : calvista::Language::English;
}

const char *ButtonText(int index)
{
    return index == 0 ? "" : MessageText(index);
}

// A popup waits with the idle sleep policy, the default cursor and all three timers stopped, so no
// tick reaches the sensor meanwhile; afterwards the timers, the policy and the cursor come back.
class PopupFrame {
public:
    PopupFrame()
    {
        sleepPolicy_ = GetSleepPolicy();
        SetSleepPolicy(SLEEP_MORE);
        GetMouseCursor(&cursor_);
        SetMouseCursor(CURSOR_DEFAULT);
        for (int i = 0; i < kTimerCount; ++i) {
            enabled_[i] = IsTimerEnabled(kTimers[i]);
            SetTimerEnabled(kTimers[i], false);
        }
    }

    ~PopupFrame()
    {
        for (int i = 0; i < kTimerCount; ++i)
            SetTimerEnabled(kTimers[i], enabled_[i]);
        SetSleepPolicy(sleepPolicy_);
        SetMouseCursor(cursor_);
    }

    PopupFrame(const PopupFrame &) = delete;
    PopupFrame &operator=(const PopupFrame &) = delete;

private:
    static constexpr int kTimerCount = 3;
    static constexpr ToolTimer kTimers[kTimerCount] = {ToolTimer::Init, ToolTimer::Main, ToolTimer::Read};

    int sleepPolicy_ = SLEEP_MORE;
    int cursor_ = CURSOR_DEFAULT;
    bool enabled_[kTimerCount] = {};
};

struct SlotPlace {
    int panel;
    int control;
};

SlotPlace PlaceOf(int slot)
{
    switch (slot) {
    case kSlotMainMessage:
        return {g_mainPanel, MAIN_PANEL_MAIN_MESSAGE};
    case kSlotInitStatus:
        return {g_firstPanel, FIRSTPANEL_INIT_STATUS_TXT};
    case kSlotCalibration:
        return {g_calibPanel, CALIB_PAN_CALIB_NOTIFICATION};
    case kSlotWarning:
        return {g_warnPanel, WARN_PANEL_WARN_TXT};
    case kSlotApplicationType:
        return {g_mainPanel, MAIN_PANEL_VANTREL_APP_TYPE};
    case kSlotParameterState:
        return {g_mainPanel, MAIN_PANEL_PARAM_STATE};
    case kSlotConnectionState:
        return {g_mainPanel, MAIN_PANEL_VANTREL_CONN_STATUS_TXT};
    default:
        return {0, 0};
    }
}

// Localises every panel after the main one and both menu bars; the main panel carries the pages.
void LocalizeOtherPanels(const char *file)
{
    LocalizeMenuBar(g_menuBar, file);
    LocalizeMenuBar(MainMenuBar(), file);
    for (int panel : {g_firstPanel, g_aboutPanel, g_calibPanel, g_warnPanel, g_passwordPanel})
        LocalizePanel(panel, file);
}

void SetMenuCheck(int entry, bool checked)
{
    for (int bar : {g_menuBar, MainMenuBar()})
        SetMenuBarAttribute(bar, entry, ATTR_CHECKED, checked ? 1 : 0);
}

} // namespace

const char *MessageText(int index)
{
    return calvista::MessageText(TableOf(g_language), index);
}

int LocalizedMessagePopup(int title, int message)
{
    PopupFrame frame;
    return MessagePopup(MessageText(title), MessageText(message));
}

int LocalizedGenericMessagePopup(int title, int message, int button1, int button2, int button3,
                                 int alignment, int activeButton, int enterButton, int escapeButton)
{
    PopupFrame frame;
    return GenericMessagePopup(MessageText(title), MessageText(message), ButtonText(button1), ButtonText(button2),
                               ButtonText(button3), alignment, activeButton, enterButton, escapeButton);
}

void SetLocalizedNotification(int index, int slot)
{
    const SlotPlace place = PlaceOf(slot);
    if (place.panel <= 0)
        return;
    SetCtrlVal(place.panel, place.control, MessageText(index));
}

void UpdateLocalizedNotification(int panel, int control, int slot)
{
    int length = 0;
    if (GetCtrlAttribute(panel, control, ATTR_STRING_TEXT_LENGTH, &length) < 0 || length < 0)
        return;
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    if (GetCtrlVal(panel, control, text.data()) < 0)
        return;
    text.resize(static_cast<std::size_t>(length));
    if (const auto index = calvista::FindMessageIndex(TableOf(g_previousLanguage), text))
        SetLocalizedNotification(*index, slot);
}

void LocalizeGUI()
{
    if (g_language == kGerman) {
        if (LocalizePanel(g_mainPanel, kGermanLanguageFile) != 0) {
            // The texts stay as they are, so the program carries on in English and says so in English.
            g_language = kEnglish;
            LocalizedMessagePopup(0, 46);
            SetActiveLanguage(kEnglish);
            return;
        }
        LocalizeOtherPanels(kGermanLanguageFile);
        SetActiveLanguage(kGerman);
        return;
    }
    if (LocalizePanel(g_mainPanel, kEnglishLanguageFile) != 0)
        LocalizedMessagePopup(0, 46);
    else
        LocalizeOtherPanels(kEnglishLanguageFile);
    SetActiveLanguage(kEnglish);
}

void SetActiveLanguage(int language)
{
    if (language != kEnglish && language != kGerman)
        return;
    SetMenuCheck(VANTREL_MENU_DEUTSCH_LAN, language == kGerman);
    SetMenuCheck(VANTREL_MENU_ENGLISH_LAN, language == kEnglish);
}
