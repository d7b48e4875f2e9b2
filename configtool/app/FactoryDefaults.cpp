#include "FactoryDefaults.h"

#include <string>

#include "BlockTransfer.h"
#include "BusyState.h"
#include "ConfigurationAreas.h"
#include "ConfigurationWrite.h"
#include "ConnectionSequence.h"
#include "FactoryDefaultsTable.h"
#include "FieldPacking.h"
#include "FirmwareSpecifics.h"
#include "Languages.h"
#include "Panels.h"
#include "ParameterPageControls.h"
#include "ParameterPages.h"
#include "SensorLinkState.h"
#include "SensorMailbox.h"
#include "SensorPower.h"
#include "Supervision.h"
#include "Timers.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"

namespace {

constexpr int kTitleError = 0;
constexpr int kTitleNotification = 2;
constexpr int kMessageRestoreQuestion = 30;
constexpr int kMessageRestoreImpossible = 31;
constexpr int kMessageTransfer = 55;
constexpr int kButtonYes = 8;
constexpr int kButtonNo = 9;
constexpr int kDeclined = 1;

constexpr int kStartsetNormal = 0;
constexpr int kFrameTypeStandard = 1;
constexpr int kFrameTypeNone = 0;

// The rotary ring and zero settings a delivered encoder starts without.
constexpr int kClearedExpertControls[] = {
    TAB_EXPERT_OFFSET,           TAB_EXPERT_STARTSET_OFFSET,  TAB_EXPERT_PRC_BIT_NUM_REG, TAB_EXPERT_NUM_OF_POLES_REG_H,
    TAB_EXPERT_NUM_OF_POLES_REG_L, TAB_EXPERT_START_PRC_REG_H, TAB_EXPERT_START_PRC_REG_L,
};

bool OperatorConfirms()
{
    const int answer = LocalizedGenericMessagePopup(kTitleNotification, kMessageRestoreQuestion, kButtonYes, kButtonNo, 0,
                                                    VAL_GENERIC_POPUP_ALIGN_CENTER, VAL_GENERIC_POPUP_BTN2,
                                                    VAL_GENERIC_POPUP_NO_BUTTON, VAL_GENERIC_POPUP_BTN2);
    return answer == VAL_GENERIC_POPUP_BTN1;
}

std::string TypeCode()
{
    int length = 0;
    if (GetCtrlAttribute(g_mainPanel, MAIN_PANEL_VANTREL_TYPECODE, ATTR_STRING_TEXT_LENGTH, &length) < 0 || length <= 0)
        return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    if (GetCtrlVal(g_mainPanel, MAIN_PANEL_VANTREL_TYPECODE, text.data()) < 0)
        return {};
    text.resize(static_cast<std::size_t>(length));
    return text;
}

// The mirror blocks read onto the cells they copy, then onto the pages.
int RestoreFromFactoryCopy()
{
    for (const calvista::AddressRange &range : calvista::kFactoryCopy) {
        if (const int code = TransferBissData(kMailboxReadEeprom, range.start, range.count))
            return code;
    }
    calvista::SysCfgvectorToRegfields();
    calvista::DorvelCfgvectorToRegfields();
    Visualize();
    ProcessSystemEvents();
    return 0;
}

// The pages set as the type code says, each change replayed as the operator's would be.
void ApplyFactorySettings(const calvista::FactorySettings &settings)
{
    const int sys = SysPage();
    SetDerivedValue(sys, TAB_SYS_COMM_PROTOCOL, settings.protocol);
    SetDerivedValue(sys, TAB_SYS_SSI_LENGTH, settings.ssiLength);
    SetDerivedValue(sys, TAB_SYS_SSI_CODING, settings.ssiCoding);
    SetDerivedValue(sys, TAB_SYS_SSI_VALUE, settings.ssiEdge);
    SetDerivedValue(sys, TAB_SYS_VANTREL_RES, settings.resolution);
    Vantrel_RES_CB(sys, TAB_SYS_VANTREL_RES, EVENT_VAL_CHANGED, nullptr, 0, 0);
    if (settings.edgeTime) {
        SetDerivedValue(sys, TAB_SYS_EDGETIME, *settings.edgeTime);
        EDGETIME_CB(sys, TAB_SYS_EDGETIME, EVENT_VAL_CHANGED, nullptr, 0, 0);
    }
    SetDerivedValue(sys, TAB_SYS_STARTSET, kStartsetNormal);
    SetDerivedValue(sys, TAB_SYS_FRAME_TYPE, g_firmware.frameTypeCapable ? kFrameTypeStandard : kFrameTypeNone);
    const int expert = ExpertPage();
    for (const int control : kClearedExpertControls)
        SetDerivedValue(expert, control, 0);
    CollectSysParameterFields();
    PackSysBlock();
    CollectDorvelParameterFields();
    PackDorvelBlock();
}

} // namespace

int SetFactoryDefaults()
{
    if (!OperatorConfirms())
        return kDeclined;
    SetLoadstate(kMessageTransfer);
    SetCtrlVal(SysPage(), TAB_SYS_SELECTED_FILE, "");
    g_paramFileShown = 0;
    if (g_link.protocol == kProtocolSsi) {
        if (const int code = SSItoBISS())
            return FailWithSupervision(code);
    }

    if (const int code = OperateSlaveRegByAddress(calvista::kMirrorValidAddress, 0, kMailboxReadEeprom))
        return FailWithSupervision(code);
    if (calvista::FactoryCopyValid(static_cast<std::uint8_t>(MailboxResult()))) {
        if (const int code = RestoreFromFactoryCopy())
            return FailWithSupervision(code);
    } else {
        const auto settings = calvista::FactorySettingsFromTypeCode(TypeCode());
        if (!settings) {
            // Nothing was changed; the restart leaves the busy state with the encoder as it was.
            LocalizedMessagePopup(kTitleError, kMessageRestoreImpossible);
            RestartSensor();
            return kDeclined;
        }
        ApplyFactorySettings(*settings);
    }

    if (const int code = ResetModifiedState())
        return FailWithSupervision(code);
    MillisecSleep(0.05);
    return WRITE_CFG_CB(SysPage(), TAB_SYS_WRITE_CFG, EVENT_COMMIT, nullptr, kWriteKeepsMarker, kWriteKeepsMarker);
}

int FACTORYDEF_CB(int, int menuItem, void *, int)
{
    if (menuItem != VANTREL_MENU_FACTORYDEF)
        return 0;
    return SetFactoryDefaults();
}
