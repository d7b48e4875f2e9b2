#include "SensorInformation.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "FirmwareSpecifics.h"
#include "InfoFields.h"
#include "Languages.h"
#include "Panels.h"
#include "RegisterFields.h"
#include "RegisterImage.h"
#include "Vantrel_Kelto_uir.h"

namespace {

using calvista::ProdInfo;

constexpr int kExpertPage = 2;

// The field as a control shows it: its characters up to the first zero byte.
std::string FieldText(ProdInfo field)
{
    std::string text = calvista::InfoFieldText(calvista::ProdInfoField(field));
    text.resize(std::string_view(text.c_str()).size());
    return text;
}

std::string Trimmed(std::string text)
{
    constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";
    const std::size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string::npos)
        return {};
    const std::size_t last = text.find_last_not_of(kWhiteSpace);
    return text.substr(first, last - first + 1);
}

// Both halves of the four-character parameter version, zero bytes kept apart from the text.
std::string ParameterVersionPart(std::size_t first)
{
    const std::string version =
        calvista::InfoFieldText(calvista::ProdInfoField(ProdInfo::PCB_PARAMETER_VERSION)).substr(first, 2);
    return std::string(std::string_view(version.c_str()));
}

constexpr std::uint8_t kModificationIndicatorErased = 0xFF;

} // namespace

void SetAdditionalInfoFields()
{
    for (const int control : {MAIN_PANEL_FWVER, MAIN_PANEL_SERIALNUM1, MAIN_PANEL_SERIALNUM2, MAIN_PANEL_SERIALNUM3,
                              MAIN_PANEL_VANTREL_TYPECODE, MAIN_PANEL_VANTREL_ORDNR})
        SetProdinfoField(control);
    for (const int control : {TAB_EXPERT_MATNUM, TAB_EXPERT_MAINVER, TAB_EXPERT_SUBVER})
        SetOtherParamField(control);
    SetWrktimeCounterFields();
    SetParamterModificationState();
    SetVantrelApplicationType();
}

void SetProdinfoField(int control)
{
    std::string text;
    switch (control) {
    case MAIN_PANEL_FWVER:
        text = FieldText(ProdInfo::PCB_FPGA_FIRMWARE_VERSION);
        SetFirmwareFromText(text.c_str());
        break;
    case MAIN_PANEL_SERIALNUM1:
        text = FieldText(ProdInfo::FINAL_PARAMETERING_DATUM);
        break;
    case MAIN_PANEL_SERIALNUM2:
        text = FieldText(ProdInfo::FINAL_RUNNING_NUMBER);
        break;
    case MAIN_PANEL_SERIALNUM3:
        text = FieldText(ProdInfo::FINAL_PARAMETERING_FACTORY_INFO);
        break;
    case MAIN_PANEL_VANTREL_TYPECODE:
        text = Trimmed(FieldText(ProdInfo::FINAL_PARAMETERING_TYPECODE));
        break;
    case MAIN_PANEL_VANTREL_ORDNR:
        text = FieldText(ProdInfo::FINAL_PARAMETERING_DELIVERY_CODE);
        break;
    default:
        return;
    }
    SetCtrlVal(g_mainPanel, control, text.c_str());
}

void SetOtherParamField(int control)
{
    std::string text;
    switch (control) {
    case TAB_EXPERT_MATNUM:
        text = FieldText(ProdInfo::PCB_MATERIALNUMBER);
        break;
    case TAB_EXPERT_MAINVER:
        text = ParameterVersionPart(0);
        break;
    case TAB_EXPERT_SUBVER:
        text = ParameterVersionPart(2);
        break;
    default:
        return;
    }
    SetCtrlVal(GetTabPanel(kExpertPage), control, text.c_str());
}

void SetWrktimeCounterFields()
{
    const auto hours = static_cast<std::uint16_t>(calvista::SysRegField(calvista::SysField::WRK_TIME_REG0).value);
    char text[8] = {};
    std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(hours));
    SetCtrlVal(g_mainPanel, MAIN_PANEL_WORK_TIME, text);
}

void SetParamterModificationState()
{
    const auto &indicator = calvista::ServiceInfoField(calvista::ServiceInfo::CONFIGTOOL_MOD_INDICATOR);
    const std::uint8_t value = calvista::ImageByte(indicator.address);
    const bool original = value == kModificationIndicatorErased || (value & 1u) != 0;
    SetLocalizedNotification(original ? 53 : 54, kSlotParameterState);
}

void SetVantrelApplicationType()
{
    using calvista::SysField;
    const int poles = calvista::SysRegField(SysField::NUM_OF_POLES_REG_H).value * 256 +
                      calvista::SysRegField(SysField::NUM_OF_POLES_REG_L).value;
    if (poles == 0) {
        SetLocalizedNotification(51, kSlotApplicationType);
        return;
    }
    SetLocalizedNotification(52, kSlotApplicationType);
    // The slot now holds entry 52 of the active table; the same text serves as the format.
    char text[50] = {};
    std::snprintf(text, sizeof text, MessageText(52), poles);
    SetCtrlVal(g_mainPanel, MAIN_PANEL_VANTREL_APP_TYPE, text);
}
