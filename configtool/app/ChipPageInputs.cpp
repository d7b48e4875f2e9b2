#include "ChipPageInputs.h"

#include "OffsetRounding.h"
#include "ParameterPageControls.h"
#include "ParameterPages.h"
#include "Panels.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"

namespace {

constexpr int kExpertPageIndex = 2;

// What the generic chip callback does after the adjustment.
void CollectAndPackChipPage()
{
    CollectDorvelParameterFields();
    PackDorvelBlock();
    if (g_expertMode)
        SetCtrlDimmed(SysPage(), TAB_SYS_WRITE_CFG, false);
}

} // namespace

void RoundCtrlToStep(int tabPageIndex, int control, double step)
{
    const int page = GetTabPanel(tabPageIndex);
    double value = 0.0;
    if (GetCtrlVal(page, control, &value) < 0)
        return;
    SetCtrlVal(page, control, calvista::RoundToStep(value, step));
}

int ROUND_SINOFFS_CB(int, int, int event, void *, int, int)
{
    if (event == EVENT_COMMIT) {
        RoundCtrlToStep(kExpertPageIndex, TAB_EXPERT_SINOFFS, calvista::kOffsetStep);
        CollectAndPackChipPage();
    }
    return 0;
}

int ROUND_COSOFFS_CB(int, int, int event, void *, int, int)
{
    if (event == EVENT_COMMIT) {
        RoundCtrlToStep(kExpertPageIndex, TAB_EXPERT_COSOFFS, calvista::kOffsetStep);
        CollectAndPackChipPage();
    }
    return 0;
}

int SELAMPL_CB(int, int, int event, void *, int, int)
{
    if (event == EVENT_COMMIT) {
        FillAmplitudeList();
        CollectAndPackChipPage();
    }
    return 0;
}
