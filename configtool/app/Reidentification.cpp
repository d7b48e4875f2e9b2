#include "Reidentification.h"

#include <string>

#include "BlockTransfer.h"
#include "BusyState.h"
#include "ConnectionDisplay.h"
#include "ConnectionSequence.h"
#include "FieldPacking.h"
#include "FirmwareSpecifics.h"
#include "InfoFields.h"
#include "MasterSetup.h"
#include "Panels.h"
#include "ParameterPages.h"
#include "SensorInformation.h"
#include "SensorLinkState.h"
#include "SensorMailbox.h"
#include "SensorMemoryMap.h"
#include "Vantrel_Kelto_uir.h"

namespace {

constexpr int kMessageTransfer = 55;
constexpr int kMessageNewVantrel = 58;

std::string MainPanelText(int control)
{
    int length = 0;
    if (GetCtrlAttribute(g_mainPanel, control, ATTR_STRING_TEXT_LENGTH, &length) < 0 || length < 0)
        return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    if (GetCtrlVal(g_mainPanel, control, text.data()) < 0)
        return {};
    text.resize(static_cast<std::size_t>(length));
    return text;
}

int ReadInfoField(calvista::ProdInfo field)
{
    const calvista::InfoField &info = calvista::ProdInfoField(field);
    return TransferBissData(kMailboxReadEeprom, info.address, info.length);
}

// Firmware text and the system and chip blocks, onto every page.
int RefreshSameVantrel()
{
    if (const int code = ReadInfoField(calvista::ProdInfo::PCB_FPGA_FIRMWARE_VERSION))
        return code;
    if (const int code = TransferBissData(kMailboxReadEeprom, calvista::kSystemBlockAddress, 96))
        return code;
    calvista::SysCfgvectorToRegfields();
    calvista::DorvelCfgvectorToRegfields();
    Visualize();
    return 0;
}

} // namespace

int ReidentifyVantrel(bool wasSsi, ReidentificationFailure onFailure)
{
    SetLoadstate(kMessageTransfer);
    ShowConnectionStatus(true);

    const std::string datum = MainPanelText(MAIN_PANEL_SERIALNUM1);
    const std::string runningNumber = MainPanelText(MAIN_PANEL_SERIALNUM2);
    if (const int code = ReadInfoField(calvista::ProdInfo::FINAL_RUNNING_NUMBER))
        return onFailure(code);
    SetProdinfoField(MAIN_PANEL_SERIALNUM2);
    if (const int code = ReadInfoField(calvista::ProdInfo::FINAL_PARAMETERING_DATUM))
        return onFailure(code);
    SetProdinfoField(MAIN_PANEL_SERIALNUM1);

    const bool sameVantrel =
        MainPanelText(MAIN_PANEL_SERIALNUM1) == datum && MainPanelText(MAIN_PANEL_SERIALNUM2) == runningNumber;
    if (sameVantrel) {
        if (const int code = RefreshSameVantrel())
            return onFailure(code);
    } else {
        SetLoadstate(kMessageNewVantrel);
        // A failed full read leaves the pages half read: nothing after it may report success.
        if (const int code = ReadData())
            return onFailure(code);
    }
    if (const int result = CheckCompatibilityVantrel())
        return result;
    if (const int result = CheckFrameTypeVantrel())
        return result;

    SetFwVerSpecific(true, false, false);
    if (g_link.protocol == kProtocolBiss) {
        SetFwVerSpecific(false, true, false);
        ConfigInterface();
    }
    if (wasSsi)
        BISStoSSI();
    if (g_link.lastError != 0)
        return onFailure(g_link.lastError);
    ReleaseLoadstate();
    return 0;
}
