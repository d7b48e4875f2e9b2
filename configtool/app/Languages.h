// The two languages: message texts, popups that pause the timers, notification slots, and the
// panel and menu texts from the language files.
#pragma once

enum Language { kEnglish = 0, kGerman = 1 };

extern int g_language;         // 0 English, 1 German
extern int g_previousLanguage; // the language before the latest switch

inline constexpr char kEnglishLanguageFile[] = "Localization\\English.lwl";
inline constexpr char kGermanLanguageFile[] = "Localization\\Deutsch.lwl";

// Where SetLocalizedNotification puts a text.
enum NotificationSlot {
    kSlotMainMessage = 0,     // main panel MAIN_MESSAGE
    kSlotInitStatus = 1,      // FIRSTPANEL INIT_STATUS_TXT
    kSlotCalibration = 2,     // CALIB_PAN CALIB_NOTIFICATION
    kSlotWarning = 3,         // WARN_PANEL WARN_TXT
    kSlotApplicationType = 4, // main panel VANTREL_APP_TYPE
    kSlotParameterState = 5,  // main panel PARAM_STATE
    kSlotConnectionState = 6, // main panel VANTREL_CONN_STATUS_TXT
    kSlotCount = 7,
};

// Entry index of the active language's table; an index outside 0-91 gives an empty text.
const char *MessageText(int index);

// Message popup with an OK button; returns once it is closed (0, or a negative run-time code).
int LocalizedMessagePopup(int title, int message);
// Generic popup; button indices 0 give no button. Returns the button pressed (1-3) or negative.
int LocalizedGenericMessagePopup(int title, int message, int button1, int button2, int button3,
                                 int alignment, int activeButton, int enterButton, int escapeButton);

void SetLocalizedNotification(int index, int slot);
// After a switch: shows in the slot the active language's text of the entry the control holds in
// the previous language. A text that is no entry stays as it is.
void UpdateLocalizedNotification(int panel, int control, int slot);

void LocalizeGUI();
void SetActiveLanguage(int language);
