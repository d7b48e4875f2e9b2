#include "PendingChanges.h"

#include "Languages.h"
#include "Panels.h"
#include "Vantrel_Kelto_uir.h"

namespace {

constexpr int kTitleWarning = 1;
constexpr int kMessageNotUpdated = 45;
constexpr int kButtonUpdate = 10;
constexpr int kButtonCancel = 4;

} // namespace

PendingAnswer OfferPendingParameterUpdate()
{
    const int system = GetTabPanel(0);
    int dimmed = 1;
    if (GetCtrlAttribute(system, TAB_SYS_WRITE_CFG, ATTR_DIMMED, &dimmed) < 0 || dimmed)
        return PendingAnswer::NothingPending;
    const int answer = LocalizedGenericMessagePopup(kTitleWarning, kMessageNotUpdated, kButtonUpdate, kButtonCancel, 0, 0,
                                                    1, 1, 2);
    if (answer != 1)
        return PendingAnswer::Cancelled;
    WRITE_CFG_CB(system, TAB_SYS_WRITE_CFG, EVENT_COMMIT, nullptr, 0, 0);
    return PendingAnswer::Updated;
}
