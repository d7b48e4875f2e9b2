#include "ParameterPageControls.h"

#include <set>
#include <utility>

#include "ChipBlockCrcs.h"
#include "FieldPacking.h"
#include "Panels.h"
#include "Vantrel_Kelto_uir.h"

namespace {

constexpr int kSysPageIndex = 0;
constexpr int kPositionPageIndex = 1;
constexpr int kExpertPageIndex = 2;

// Controls (panel handle, control id) that could not take their field's value.
std::set<std::pair<int, int>> g_unshownControls;

} // namespace

int SysPage()
{
    return GetTabPanel(kSysPageIndex);
}

int PositionPage()
{
    return GetTabPanel(kPositionPageIndex);
}

int ExpertPage()
{
    return GetTabPanel(kExpertPageIndex);
}

std::int32_t CtrlInt(int panel, int control)
{
    std::int32_t value = 0;
    GetCtrlVal(panel, control, &value);
    return value;
}

double CtrlDouble(int panel, int control)
{
    double value = 0.0;
    GetCtrlVal(panel, control, &value);
    return value;
}

bool CtrlDimmed(int panel, int control)
{
    int dimmed = 0;
    GetCtrlAttribute(panel, control, ATTR_DIMMED, &dimmed);
    return dimmed != 0;
}

void SetCtrlDimmed(int panel, int control, bool dimmed)
{
    SetCtrlAttribute(panel, control, ATTR_DIMMED, dimmed ? 1 : 0);
}

void ShowFieldValue(int panel, int control, double value)
{
    SetCtrlVal(panel, control, value);
    double shown = 0.0;
    if (GetCtrlVal(panel, control, &shown) >= 0 && shown == value)
        g_unshownControls.erase({panel, control});
    else
        g_unshownControls.insert({panel, control});
}

bool HoldsFieldValue(int panel, int control)
{
    return !g_unshownControls.contains({panel, control});
}

void TakeControlValue(int panel, int control)
{
    g_unshownControls.erase({panel, control});
}

void SetDerivedValue(int panel, int control, double value)
{
    SetCtrlVal(panel, control, value);
    TakeControlValue(panel, control);
}

void ForgetUnshownValues()
{
    g_unshownControls.clear();
}

void PackSysBlock()
{
    calvista::SysRegfieldsToCfgvector();
}

void PackDorvelBlock()
{
    ShowCRCs(calvista::DorvelRegfieldsToCfgvector());
}
