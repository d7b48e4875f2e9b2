// The user-level settings of the system and position pages, derived from the chip and system
// fields the pages show, and the refresh of every parameter display.
#include <cmath>

#include "ChipBlockCrcs.h"
#include "ParameterPageControls.h"
#include "ParameterPages.h"
#include "ParameterTables.h"
#include "RegisterFields.h"
#include "SensorInformation.h"
#include "SensorLinkState.h"
#include "ToolState.h"
#include "TypecodeSpecifics.h"
#include "Vantrel_Kelto_uir.h"

std::uint8_t g_rotaryStartset = 0;

namespace {

// Where the system page puts its controls for each interface variant (the resource's positions).
struct VariantLayout {
    bool protocolShown;     // COMM_PROTOCOL
    int fixedProtocol;      // COMM_PROTOCOL_SPEC shows this; 0 hides it
    int ssiLeft;            // left edge of the SSI and frame controls
    bool quadratureShown;   // QI_HW_RQ_EN and QI_Z_TYPE
    bool sarvikInterface;
    bool absoluteQuadrature;
};

constexpr int kSpecSarvik = 2;
constexpr int kSpecAbsoluteQuadrature = 3;
constexpr int kQuadratureLeft = 187;
constexpr int kQiHwRqEnTop = 163;
constexpr int kQiZTypeTop = 291;

constexpr VariantLayout LayoutOf(calvista::InterfaceVariant variant)
{
    switch (variant) {
    case calvista::InterfaceVariant::Sarvik:
        return {false, kSpecSarvik, 154, false, true, false};
    case calvista::InterfaceVariant::AbsoluteQuadrature:
        return {false, kSpecAbsoluteQuadrature, 134, true, false, true};
    case calvista::InterfaceVariant::Standard:
        break;
    }
    return {true, 0, 154, false, false, false};
}

constexpr int kSsiColumn[] = {TAB_SYS_SSI_CODING, TAB_SYS_SSI_VALUE, TAB_SYS_SSI_LENGTH, TAB_SYS_BISS_LENGTH,
                              TAB_SYS_FRAME_TYPE};

void SetVisible(int panel, int control, bool visible)
{
    SetCtrlAttribute(panel, control, ATTR_VISIBLE, visible ? 1 : 0);
}

} // namespace

void SetResolutionParameter()
{
    const int expert = ExpertPage();
    const int sys = SysPage();
    const int index = calvista::ResolutionIndexFor(CtrlInt(expert, TAB_EXPERT_SELRES), CtrlInt(expert, TAB_EXPERT_SSIRES));
    SetCtrlVal(sys, TAB_SYS_VANTREL_RES, index);
    ReferenceSysSettings.resolution = CtrlInt(sys, TAB_SYS_VANTREL_RES);
}

void SetEdgetimeParameter()
{
    const int sys = SysPage();
    const std::int32_t fctr = CtrlInt(ExpertPage(), TAB_EXPERT_FCTR);
    const int index = CtrlDimmed(sys, TAB_SYS_EDGETIME) ? calvista::kEdgeTimeUnset : calvista::EdgeTimeIndexFor(fctr);
    SetCtrlVal(sys, TAB_SYS_EDGETIME, index);
    ReferenceSysSettings.edgeTime = CtrlInt(sys, TAB_SYS_EDGETIME);
}

void SetStartsetType()
{
    const int sys = SysPage();
    if (!CtrlDimmed(sys, TAB_SYS_WRITE_CFG))
        return;
    const int position = PositionPage();
    if (CtrlInt(sys, TAB_SYS_STARTSET) == 0) {
        SetCtrlDimmed(position, TAB_POS_ZERO_SHIFT, false);
        SetCtrlDimmed(position, TAB_POS_ZERO_SHIFT_DEG, true);
        SetCtrlVal(position, TAB_POS_ZERO_SHIFT_DEG, 0.0);
        g_rotaryStartset = 0;
        return;
    }
    SetCtrlDimmed(position, TAB_POS_ZERO_SHIFT, false);
    SetCtrlDimmed(position, TAB_POS_ZERO_SHIFT_DEG, false);
    const auto offset = static_cast<std::uint32_t>(CtrlDouble(ExpertPage(), TAB_EXPERT_STARTSET_OFFSET));
    const auto row = calvista::StartsetRowFor(offset, CtrlInt(sys, TAB_SYS_VANTREL_RES));
    SetCtrlVal(position, TAB_POS_ZERO_SHIFT_DEG, row ? *row * calvista::kStartsetRowDegrees : 0.0);
    g_rotaryStartset = 1;
}

void SetZeroShift()
{
    const int position = PositionPage();
    const int step = calvista::ZeroShiftStep(CtrlInt(SysPage(), TAB_SYS_VANTREL_RES));
    const std::int32_t shift = CtrlInt(position, TAB_POS_ZERO_SHIFT);
    SetCtrlVal(position, TAB_POS_ZERO_SHIFT, shift - shift % step);
    if (!g_rotaryStartset)
        return;
    const double degrees = CtrlDouble(position, TAB_POS_ZERO_SHIFT_DEG);
    if (std::fmod(degrees, calvista::kStartsetRowDegrees) != 0.0)
        SetCtrlVal(position, TAB_POS_ZERO_SHIFT_DEG,
                   std::trunc(degrees / calvista::kStartsetRowDegrees) * calvista::kStartsetRowDegrees);
}

void SetSpecInterfaceParams()
{
    using calvista::SysField;
    const VariantLayout layout = LayoutOf(calvista::InterfaceVariantFor(
        calvista::SysRegField(SysField::SARVIK).value, calvista::SysRegField(SysField::QUAD_ADV).value));
    const int sys = SysPage();
    SetVisible(sys, TAB_SYS_COMM_PROTOCOL, layout.protocolShown);
    SetVisible(sys, TAB_SYS_COMM_PROTOCOL_SPEC, layout.fixedProtocol != 0);
    if (layout.fixedProtocol != 0)
        SetCtrlVal(sys, TAB_SYS_COMM_PROTOCOL_SPEC, layout.fixedProtocol);
    for (const int control : kSsiColumn)
        SetCtrlAttribute(sys, control, ATTR_LEFT, layout.ssiLeft);
    SetVisible(sys, TAB_SYS_QI_HW_RQ_EN, layout.quadratureShown);
    SetVisible(sys, TAB_SYS_QI_Z_TYPE, layout.quadratureShown);
    if (layout.quadratureShown) {
        SetCtrlAttribute(sys, TAB_SYS_QI_HW_RQ_EN, ATTR_LEFT, kQuadratureLeft);
        SetCtrlAttribute(sys, TAB_SYS_QI_Z_TYPE, ATTR_LEFT, kQuadratureLeft);
        SetCtrlAttribute(sys, TAB_SYS_QI_HW_RQ_EN, ATTR_TOP, kQiHwRqEnTop);
        SetCtrlAttribute(sys, TAB_SYS_QI_Z_TYPE, ATTR_TOP, kQiZTypeTop);
    }
    g_sarvikInterface = layout.sarvikInterface ? 1 : 0;
    g_absoluteQuadrature = layout.absoluteQuadrature ? 1 : 0;
}

void SetSSIParamsFromBitlength()
{
    const auto settings = calvista::SsiScdSettingsFor(ReferenceSysSettings.ssiLength);
    if (!settings)
        return;
    g_link.frameLength = settings->frameLength;
    g_link.scdClockDivider = settings->clockDivider;
}

void Visualize()
{
    SetAdditionalInfoFields();
    SetTypecodeSpecific();
    SetSysParameterFields();
    SetDorvelParameterFields();
    ShowCRCs(calvista::PellinFillBuffer(false));
    SetResolutionParameter();
    SetEdgetimeParameter();
    SetStartsetType();
    SetZeroShift();
    SetSpecInterfaceParams();
}
