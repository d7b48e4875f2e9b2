// The callbacks of the system and expert pages: every change is collected into the fields and
// packed into the image at once; the write button tells whether the system page differs from the
// sensor. Other modules replay a change by calling a callback with EVENT_VAL_CHANGED.
#include "FirmwareSpecifics.h"
#include "ParameterPageControls.h"
#include "ParameterPages.h"
#include "ParameterTables.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"

namespace {

constexpr int kProtocolSsi = 1;  // COMM_PROTOCOL

// First step of every system-page change: the page now differs, and no longer shows a file.
void BeginSysPageChange()
{
    const int sys = SysPage();
    SetCtrlDimmed(sys, TAB_SYS_WRITE_CFG, false);
    if (g_paramFileShown) {
        SetCtrlVal(sys, TAB_SYS_SELECTED_FILE, "");
        g_paramFileShown = 0;
    }
}

SysPageSettings ShownSysSettings()
{
    const int sys = SysPage();
    SysPageSettings shown;
    shown.resolution = CtrlInt(sys, TAB_SYS_VANTREL_RES);
    shown.edgeTime = CtrlInt(sys, TAB_SYS_EDGETIME);
    shown.ssiLength = CtrlInt(sys, TAB_SYS_SSI_LENGTH);
    shown.protocol = CtrlInt(sys, TAB_SYS_COMM_PROTOCOL);
    shown.startset = CtrlInt(sys, TAB_SYS_STARTSET);
    shown.ssiCoding = CtrlInt(sys, TAB_SYS_SSI_CODING);
    shown.ssiEdge = CtrlInt(sys, TAB_SYS_SSI_VALUE);
    // Without the choice the frame type is not the operator's to change.
    shown.frameType = g_firmware.frameTypeCapable ? CtrlInt(sys, TAB_SYS_FRAME_TYPE) : ReferenceSysSettings.frameType;
    shown.qiHwRqEn = CtrlInt(sys, TAB_SYS_QI_HW_RQ_EN);
    shown.qiZType = CtrlInt(sys, TAB_SYS_QI_Z_TYPE);
    return shown;
}

// Last step of every system-page change. In expert mode any change keeps the write button.
void DimWriteWhenUnchanged()
{
    if (!g_expertMode && ShownSysSettings() == ReferenceSysSettings)
        SetCtrlDimmed(SysPage(), TAB_SYS_WRITE_CFG, true);
}

// SSI shows its length and settings; BiSS has one fixed length.
void LayOutForProtocol(bool ssi)
{
    const int sys = SysPage();
    SetCtrlAttribute(sys, TAB_SYS_SSI_LENGTH, ATTR_VISIBLE, ssi ? 1 : 0);
    SetCtrlAttribute(sys, TAB_SYS_BISS_LENGTH, ATTR_VISIBLE, ssi ? 0 : 1);
    for (const int control : {TAB_SYS_SSI_LENGTH, TAB_SYS_SSI_CODING, TAB_SYS_SSI_VALUE})
        SetCtrlDimmed(sys, control, !ssi);
}

void CollectAndPackBothBlocks()
{
    CollectDorvelParameterFields();
    CollectSysParameterFields();
    PackSysBlock();
    PackDorvelBlock();
}

} // namespace

int Vantrel_RES_CB(int, int, int event, void *, int, int)
{
    if (event != EVENT_VAL_CHANGED)
        return 0;
    BeginSysPageChange();
    const int sys = SysPage();
    const int expert = ExpertPage();
    if (const auto setting = calvista::ResolutionSettingFor(CtrlInt(sys, TAB_SYS_VANTREL_RES))) {
        SetDerivedValue(expert, TAB_EXPERT_SELRES, setting->selres);
        SetDerivedValue(expert, TAB_EXPERT_SSIRES, setting->ssiRes);
        if (CtrlDimmed(sys, TAB_SYS_EDGETIME))
            SetDerivedValue(expert, TAB_EXPERT_FCTR, setting->fixedEdgeFctr);
    }
    CollectAndPackBothBlocks();
    DimWriteWhenUnchanged();
    return 0;
}

int EDGETIME_CB(int panel, int control, int event, void *, int, int)
{
    if (event != EVENT_VAL_CHANGED)
        return 0;
    BeginSysPageChange();
    if (const auto fctr = calvista::EdgeTimeFctrFor(CtrlInt(SysPage(), TAB_SYS_EDGETIME)))
        SetDerivedValue(ExpertPage(), TAB_EXPERT_FCTR, *fctr);
    CAT_DORVEL_VECTOR_CB(panel, control, EVENT_VAL_CHANGED, nullptr, 0, 0);
    CollectAndPackBothBlocks();
    DimWriteWhenUnchanged();
    return 0;
}

int CAT_SYS_VECTOR_CB(int panel, int control, int event, void *, int, int)
{
    if (event != EVENT_VAL_CHANGED)
        return 0;
    TakeControlValue(panel, control);
    BeginSysPageChange();
    const int sys = SysPage();
    if (CtrlInt(sys, TAB_SYS_COMM_PROTOCOL) == kProtocolSsi) {
        LayOutForProtocol(true);
        if (panel == sys && control == TAB_SYS_COMM_PROTOCOL) {
            SetCtrlVal(sys, TAB_SYS_SSI_LENGTH, ReferenceSysSettings.ssiLength);
            SetCtrlVal(sys, TAB_SYS_SSI_CODING, ReferenceSysSettings.ssiCoding);
            SetCtrlVal(sys, TAB_SYS_SSI_VALUE, ReferenceSysSettings.ssiEdge);
        }
    } else {
        LayOutForProtocol(false);
        for (const int ssiControl : {TAB_SYS_SSI_LENGTH, TAB_SYS_SSI_CODING, TAB_SYS_SSI_VALUE})
            SetDerivedValue(sys, ssiControl, 0);
    }
    CollectSysParameterFields();
    PackSysBlock();
    DimWriteWhenUnchanged();
    return 0;
}

int CAT_DORVEL_VECTOR_CB(int panel, int control, int event, void *, int, int)
{
    if (event != EVENT_VAL_CHANGED)
        return 0;
    TakeControlValue(panel, control);
    CollectDorvelParameterFields();
    PackDorvelBlock();
    if (g_expertMode)
        SetCtrlDimmed(SysPage(), TAB_SYS_WRITE_CFG, false);
    return 0;
}

void DiscardParameterMods()
{
    const int sys = SysPage();
    const SysPageSettings reference = ReferenceSysSettings;
    SetCtrlVal(sys, TAB_SYS_VANTREL_RES, reference.resolution);
    Vantrel_RES_CB(sys, TAB_SYS_VANTREL_RES, EVENT_VAL_CHANGED, nullptr, 0, 0);
    SetCtrlVal(sys, TAB_SYS_EDGETIME, reference.edgeTime);
    EDGETIME_CB(sys, TAB_SYS_EDGETIME, EVENT_VAL_CHANGED, nullptr, 0, 0);

    SetCtrlVal(sys, TAB_SYS_SSI_LENGTH, reference.ssiLength);
    SetCtrlVal(sys, TAB_SYS_COMM_PROTOCOL, reference.protocol);
    SetCtrlVal(sys, TAB_SYS_STARTSET, reference.startset);
    SetCtrlVal(sys, TAB_SYS_SSI_CODING, reference.ssiCoding);
    SetCtrlVal(sys, TAB_SYS_SSI_VALUE, reference.ssiEdge);
    SetCtrlVal(sys, TAB_SYS_FRAME_TYPE, reference.frameType);
    SetCtrlVal(sys, TAB_SYS_QI_HW_RQ_EN, reference.qiHwRqEn);
    SetCtrlVal(sys, TAB_SYS_QI_Z_TYPE, reference.qiZType);
    CAT_SYS_VECTOR_CB(sys, TAB_SYS_SSI_LENGTH, EVENT_VAL_CHANGED, nullptr, 0, 0);

    LayOutForProtocol(reference.protocol == kProtocolSsi);
    SetCtrlDimmed(sys, TAB_SYS_WRITE_CFG, true);
}
