// The controls of the system and expert pages against the field tables, in both directions.
#include "AmplitudeList.h"
#include "ChipBlockCrcs.h"
#include "FirmwareSpecifics.h"
#include "OffsetRounding.h"
#include "ParameterPageControls.h"
#include "ParameterPages.h"
#include "ParameterTables.h"
#include "Panels.h"
#include "RegisterFields.h"
#include "Vantrel_Kelto_uir.h"

using calvista::DorvelField;
using calvista::RegField;
using calvista::SysField;

SysPageSettings ReferenceSysSettings;

namespace {

constexpr int kSysPageIndex = 0;
constexpr int kExpertPageIndex = 2;

struct SysFieldControl {
    int pageIndex;
    int control;
    SysField field;
};

// Rings and numerics that hold their field's value unchanged. FRAME_TYPE depends on the firmware
// and is handled on its own.
constexpr SysFieldControl kSysFieldControls[] = {
    {kSysPageIndex, TAB_SYS_COMM_PROTOCOL, SysField::BISS_SSI},
    {kSysPageIndex, TAB_SYS_SSI_VALUE, SysField::RISE_FALL},
    {kSysPageIndex, TAB_SYS_SSI_CODING, SysField::SSI_CODE},
    {kSysPageIndex, TAB_SYS_SSI_LENGTH, SysField::SSI_LENGTH},
    {kSysPageIndex, TAB_SYS_STARTSET, SysField::ENH_STARTSET},
    {kSysPageIndex, TAB_SYS_QI_HW_RQ_EN, SysField::QI_HW_RQ_EN},
    {kSysPageIndex, TAB_SYS_QI_Z_TYPE, SysField::QI_Z_TYPE},
    {kExpertPageIndex, TAB_EXPERT_CAL_MODE, SysField::DORVEL_SW_OFF},
    {kExpertPageIndex, TAB_EXPERT_POS_FORMAT, SysField::POS_VALUE},
    {kExpertPageIndex, TAB_EXPERT_1VPP_OUT_EN, SysField::_1V_OUT},
    {kExpertPageIndex, TAB_EXPERT_Z_OUT_EN, SysField::Z_OUT_EN},
    {kExpertPageIndex, TAB_EXPERT_NUM_OF_POLES_REG_H, SysField::NUM_OF_POLES_REG_H},
    {kExpertPageIndex, TAB_EXPERT_NUM_OF_POLES_REG_L, SysField::NUM_OF_POLES_REG_L},
    {kExpertPageIndex, TAB_EXPERT_START_PRC_REG_H, SysField::START_PRC_REG_H},
    {kExpertPageIndex, TAB_EXPERT_START_PRC_REG_L, SysField::START_PRC_REG_L},
    {kExpertPageIndex, TAB_EXPERT_PRC_BIT_NUM_REG, SysField::PRC_BIT_NUM_REG},
    {kExpertPageIndex, TAB_EXPERT_SSIRES, SysField::SSI_RES},
    {kExpertPageIndex, TAB_EXPERT_OFFSET, SysField::OFFSET},
    {kExpertPageIndex, TAB_EXPERT_STARTSET_OFFSET, SysField::STARTSET_OFFSET},
    {kExpertPageIndex, TAB_EXPERT_LED_BLINK_TIME, SysField::LED_BLINK_TIME},
    {kExpertPageIndex, TAB_EXPERT_QI_REC_TIME, SysField::QI_REC_TIME},
    {kExpertPageIndex, TAB_EXPERT_QI_PWR_ON_DLY, SysField::QI_PWR_ON_DLY},
    {kExpertPageIndex, TAB_EXPERT_POLES_P_DIR, SysField::POLES_P_DIR},
    {kExpertPageIndex, TAB_EXPERT_POLES_N_DIR, SysField::POLES_N_DIR},
    {kExpertPageIndex, TAB_EXPERT_QI_EN_Z_ON_DATA, SysField::QI_EN_Z_ON_DATA},
};

struct ChipFieldControl {
    int control;
    DorvelField field;
};

// Expert-page controls that hold the value of DORVEL_<control name> unchanged. RATIO, SINOFFS and
// COSOFFS are converted; DORVEL_LOW_1 and the reserved fields have no control.
constexpr ChipFieldControl kChipFieldControls[] = {
    {TAB_EXPERT_SELRES, DorvelField::DORVEL_SELRES},     {TAB_EXPERT_M2S, DorvelField::DORVEL_M2S},
    {TAB_EXPERT_ENCDS, DorvelField::DORVEL_ENCDS},       {TAB_EXPERT_ZPOS, DorvelField::DORVEL_ZPOS},
    {TAB_EXPERT_HYS, DorvelField::DORVEL_HYS},           {TAB_EXPERT_CFGZ, DorvelField::DORVEL_CFGZ},
    {TAB_EXPERT_CFGABZ, DorvelField::DORVEL_CFGABZ},     {TAB_EXPERT_CBZ, DorvelField::DORVEL_CBZ},
    {TAB_EXPERT_ROT, DorvelField::DORVEL_ROT},           {TAB_EXPERT_SELSSI, DorvelField::DORVEL_SELSSI},
    {TAB_EXPERT_ENRESDEL, DorvelField::DORVEL_ENRESDEL}, {TAB_EXPERT_FERR, DorvelField::DORVEL_FERR},
    {TAB_EXPERT_AERR, DorvelField::DORVEL_AERR},         {TAB_EXPERT_RPL, DorvelField::DORVEL_RPL},
    {TAB_EXPERT_CFGAB, DorvelField::DORVEL_CFGAB},       {TAB_EXPERT_NZB, DorvelField::DORVEL_NZB},
    {TAB_EXPERT_CRC6, DorvelField::DORVEL_CRC6},         {TAB_EXPERT_FCTR, DorvelField::DORVEL_FCTR},
    {TAB_EXPERT_GRAY, DorvelField::DORVEL_GRAY},         {TAB_EXPERT_TMA, DorvelField::DORVEL_TMA},
    {TAB_EXPERT_TMODE, DorvelField::DORVEL_TMODE},       {TAB_EXPERT_TIMO, DorvelField::DORVEL_TIMO},
    {TAB_EXPERT_CFGOSC, DorvelField::DORVEL_CFGOSC},     {TAB_EXPERT_TOA, DorvelField::DORVEL_TOA},
    {TAB_EXPERT_GAIN, DorvelField::DORVEL_GAIN},         {TAB_EXPERT_PHASE, DorvelField::DORVEL_PHASE},
    {TAB_EXPERT_REFOFFS, DorvelField::DORVEL_REFOFFS},   {TAB_EXPERT_AMPL, DorvelField::DORVEL_AMPL},
    {TAB_EXPERT_SELAMPL, DorvelField::DORVEL_SELAMPL},
};

// A 32-bit field holds an unsigned number; the narrower fields never go negative.
double ControlValueOf(const RegField &field)
{
    if (field.bitlen >= 32)
        return static_cast<double>(static_cast<std::uint32_t>(field.value));
    return static_cast<double>(field.value);
}

std::int32_t FieldValueFrom(double value, const RegField &field)
{
    if (field.bitlen >= 32)
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    return static_cast<std::int32_t>(value);
}

void CollectInto(RegField &field, int panel, int control)
{
    if (HoldsFieldValue(panel, control))
        field.value = FieldValueFrom(CtrlDouble(panel, control), field);
}

int PageOf(const SysFieldControl &entry)
{
    return GetTabPanel(entry.pageIndex);
}

} // namespace

void ResetParameterPages()
{
    ReferenceSysSettings = SysPageSettings{};
    g_rotaryStartset = 0;
    ForgetUnshownValues();
}

void CollectSysParameterFields()
{
    for (const SysFieldControl &entry : kSysFieldControls)
        CollectInto(calvista::SysRegField(entry.field), PageOf(entry), entry.control);
    RegField &frameType = calvista::SysRegField(SysField::BISS_SSI_FRAME_TYPE);
    if (g_firmware.frameTypeCapable)
        CollectInto(frameType, SysPage(), TAB_SYS_FRAME_TYPE);
    else
        frameType.value = 0;
}

void CollectDorvelParameterFields()
{
    const int page = ExpertPage();
    for (const ChipFieldControl &entry : kChipFieldControls)
        CollectInto(calvista::DorvelRegField(entry.field), page, entry.control);
    if (HoldsFieldValue(page, TAB_EXPERT_RATIO)) {
        const calvista::RatioFields ratio = calvista::RatioToFields(CtrlInt(page, TAB_EXPERT_RATIO));
        calvista::DorvelRegField(DorvelField::DORVEL_RATIO_0_3).value = ratio.low;
        calvista::DorvelRegField(DorvelField::DORVEL_RATIO_4).value = ratio.high;
    }
    calvista::DorvelRegField(DorvelField::DORVEL_SINOFFS).value =
        calvista::OffsetValueToByte(CtrlDouble(page, TAB_EXPERT_SINOFFS));
    calvista::DorvelRegField(DorvelField::DORVEL_COSOFFS).value =
        calvista::OffsetValueToByte(CtrlDouble(page, TAB_EXPERT_COSOFFS));
}

void SetSysParameterFields()
{
    for (const SysFieldControl &entry : kSysFieldControls) {
        const RegField &field = calvista::SysRegField(entry.field);
        ShowFieldValue(PageOf(entry), entry.control, ControlValueOf(field));
    }
    const int page = SysPage();
    if (g_firmware.frameTypeCapable)
        ShowFieldValue(page, TAB_SYS_FRAME_TYPE, calvista::SysRegField(SysField::BISS_SSI_FRAME_TYPE).value);

    ReferenceSysSettings.ssiLength = CtrlInt(page, TAB_SYS_SSI_LENGTH);
    ReferenceSysSettings.protocol = CtrlInt(page, TAB_SYS_COMM_PROTOCOL);
    ReferenceSysSettings.startset = CtrlInt(page, TAB_SYS_STARTSET);
    ReferenceSysSettings.ssiCoding = CtrlInt(page, TAB_SYS_SSI_CODING);
    ReferenceSysSettings.ssiEdge = CtrlInt(page, TAB_SYS_SSI_VALUE);
    ReferenceSysSettings.frameType = CtrlInt(page, TAB_SYS_FRAME_TYPE);
    ReferenceSysSettings.qiHwRqEn = CtrlInt(page, TAB_SYS_QI_HW_RQ_EN);
    ReferenceSysSettings.qiZType = CtrlInt(page, TAB_SYS_QI_Z_TYPE);
}

void SetDorvelParameterFields()
{
    const int page = ExpertPage();
    for (const ChipFieldControl &entry : kChipFieldControls)
        ShowFieldValue(page, entry.control, ControlValueOf(calvista::DorvelRegField(entry.field)));
    const calvista::RatioFields ratio{calvista::DorvelRegField(DorvelField::DORVEL_RATIO_0_3).value,
                                      calvista::DorvelRegField(DorvelField::DORVEL_RATIO_4).value};
    ShowFieldValue(page, TAB_EXPERT_RATIO, calvista::RatioFromFields(ratio));
    const auto offsetByte = [](DorvelField field) {
        return static_cast<std::uint8_t>(calvista::DorvelRegField(field).value & 0xFF);
    };
    SetCtrlVal(page, TAB_EXPERT_SINOFFS, calvista::OffsetByteToValue(offsetByte(DorvelField::DORVEL_SINOFFS)));
    SetCtrlVal(page, TAB_EXPERT_COSOFFS, calvista::OffsetByteToValue(offsetByte(DorvelField::DORVEL_COSOFFS)));

    FillAmplitudeList();
    ShowCRCs(calvista::CalculateCRCs(false, true, false));
}

void FillAmplitudeList()
{
    const int page = ExpertPage();
    const std::int32_t previous = CtrlInt(page, TAB_EXPERT_AMPL);
    ClearListCtrl(page, TAB_EXPERT_AMPL);
    const auto items = calvista::AmplitudeListItems(CtrlInt(page, TAB_EXPERT_SELAMPL));
    for (std::size_t value = 0; value < items.size(); ++value)
        InsertListItem(page, TAB_EXPERT_AMPL, -1, items[value], static_cast<int>(value));
    SetCtrlVal(page, TAB_EXPERT_AMPL, previous);
}
