// The language items of the settings menu.
#include "Languages.h"
#include "Panels.h"
#include "SensorInformation.h"
#include "SettingsFile.h"
#include "Vantrel_Kelto_uir.h"

namespace {

struct SlotControl {
    const int *panel;
    int control;
    int slot;
};

// Every notification slot, so that no table text stays in the language left behind.
constexpr SlotControl kSlots[] = {
    {&g_mainPanel, MAIN_PANEL_MAIN_MESSAGE, kSlotMainMessage},
    {&g_firstPanel, FIRSTPANEL_INIT_STATUS_TXT, kSlotInitStatus},
    {&g_calibPanel, CALIB_PAN_CALIB_NOTIFICATION, kSlotCalibration},
    {&g_warnPanel, WARN_PANEL_WARN_TXT, kSlotWarning},
    {&g_mainPanel, MAIN_PANEL_VANTREL_APP_TYPE, kSlotApplicationType},
    {&g_mainPanel, MAIN_PANEL_PARAM_STATE, kSlotParameterState},
    {&g_mainPanel, MAIN_PANEL_VANTREL_CONN_STATUS_TXT, kSlotConnectionState},
};

} // namespace

int SET_LANGUAGE_CB(int, int menuItem, void *, int)
{
    if (menuItem != VANTREL_MENU_DEUTSCH_LAN && menuItem != VANTREL_MENU_ENGLISH_LAN)
        return 0;
    g_previousLanguage = g_language;
    g_language = menuItem == VANTREL_MENU_DEUTSCH_LAN ? kGerman : kEnglish;
    LocalizeGUI();
    StoreLanguageSettingsToFile();
    for (const SlotControl &entry : kSlots)
        UpdateLocalizedNotification(*entry.panel, entry.control, entry.slot);
    SetVantrelApplicationType();
    return 0;
}
