// MAIN_PANEL_CB asks before the program is closed and offers to write unsaved parameters first;
// over the maker's link it shows the pointing hand.
#include "MainPanelClose.h"

#include "Languages.h"
#include "Panels.h"
#include "PendingChanges.h"
#include "ProgramEnd.h"
#include "Vantrel_Kelto_uir.h"

namespace {

constexpr int kTitleNotification = 2;
constexpr int kMessageReallyClose = 41;
constexpr int kButtonYes = 8;
constexpr int kButtonNo = 9;

// The maker's link text in the main panel's coordinates.
bool OverMakerLink(int x, int y)
{
    return x >= 930 && x < 1012 && y >= 105 && y < 121;
}

void AskToClose()
{
    OfferPendingParameterUpdate();
    const int answer = LocalizedGenericMessagePopup(kTitleNotification, kMessageReallyClose, kButtonYes, kButtonNo, 0, 0,
                                                    1, 1, 2);
    if (answer == 1)
        TerminateApp();
}

} // namespace

int MAIN_PANEL_CB(int, int event, void *, int eventData1, int eventData2)
{
    switch (event) {
    case EVENT_MOUSE_POINTER_MOVE:
        if (GetSleepPolicy() == SLEEP_MORE)
            SetMouseCursor(OverMakerLink(eventData2, eventData1) ? CURSOR_POINTING_HAND : CURSOR_DEFAULT);
        break;
    case EVENT_CLOSE:
        AskToClose();
        break;
    default:
        break;
    }
    return 0;
}

int MAIN_CALLBACK_CB(int, int, int event, void *, int, int)
{
    if (event == EVENT_END_TASK && GetSleepPolicy() != SLEEP_NONE)
        MAIN_PANEL_CB(g_mainPanel, EVENT_CLOSE, nullptr, 0, 0);
    return 1;
}
