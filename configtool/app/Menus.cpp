// Leaving the program, switching the encoder on and off, and leaving the system page for the
// position page: each first offers the pending parameter changes for writing.
#include "Languages.h"
#include "ParameterPages.h"
#include "PendingChanges.h"
#include "ProgramEnd.h"
#include "SensorPower.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/UserInterface.h"

namespace {

constexpr int kPositionPage = 1;

bool ClosingConfirmed()
{
    return LocalizedGenericMessagePopup(2, 41, 8, 9, 0, VAL_GENERIC_POPUP_ALIGN_CENTER, VAL_GENERIC_POPUP_BTN1,
                                        VAL_GENERIC_POPUP_BTN1, VAL_GENERIC_POPUP_BTN2) == VAL_GENERIC_POPUP_BTN1;
}

} // namespace

int MENU_EXIT_CB(int, int menuItem, void *, int)
{
    if (menuItem != VANTREL_MENU_EXIT)
        return 0;
    OfferPendingParameterUpdate();
    if (ClosingConfirmed())
        TerminateApp();
    return 0;
}

int POWER_ON_CB(int, int menuItem, void *, int)
{
    if (menuItem == VANTREL_MENU_POWERON)
        PowerON();
    return 0;
}

int POWER_OFF_CB(int, int menuItem, void *, int)
{
    if (menuItem != VANTREL_MENU_POWEROFF)
        return 0;
    // Changes not written are not kept past the power-off.
    if (OfferPendingParameterUpdate() == PendingAnswer::Cancelled)
        DiscardParameterMods();
    PowerOFF();
    return 0;
}

int TABS_CB(int, int, int event, void *, int, int newPage)
{
    if (event == EVENT_ACTIVE_TAB_CHANGE && newPage == kPositionPage)
        OfferPendingParameterUpdate();
    return 0;
}
