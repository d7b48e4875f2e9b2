#include "ConnectionSequence.h"

#include <string>

#include "BlockTransfer.h"
#include "BusyState.h"
#include "FieldPacking.h"
#include "FirmwareSpecifics.h"
#include "InfoFields.h"
#include "Languages.h"
#include "LiveRead.h"
#include "MasterSetup.h"
#include "Panels.h"
#include "ParameterPages.h"
#include "ProgramEnd.h"
#include "RegisterImage.h"
#include "SensorLinkState.h"
#include "SensorMailbox.h"
#include "SensorMemoryMap.h"
#include "Supervision.h"
#include "Timers.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"

namespace {

constexpr unsigned kOutputRegister = 16;  // BISS_SSI, RISE_FALL, SSI_CODE, frame type, SSI_LENGTH
constexpr unsigned kSsiBit = 0x01;
constexpr unsigned kFrameTypeBit = 0x08;

// The SSI settings an encoder is first reached with.
constexpr std::uint16_t kSsiFrameLength = 24;
constexpr std::uint16_t kSsiClockDivider = 20;
constexpr std::uint16_t kBissFrameLength = 40;
constexpr std::uint16_t kBissClockDivider = 1;

int Store(int code)
{
    g_link.lastError = code;
    return code;
}

int ReadScdWithoutControlAccess()
{
    return Store(BISS_ReadSCD(g_link.handle, g_scd.high, g_scd.low, &g_scd.crcStatus, 0, &g_scd.controlDone));
}

// --- Full read -------------------------------------------------------------------------------

// The progress of the read on the first panel: the status text it showed, then the percentage.
class ReadProgress {
public:
    ReadProgress()
    {
        int visible = 0;
        visible_ = GetPanelAttribute(g_firstPanel, ATTR_VISIBLE, &visible) >= 0 && visible != 0;
        if (!visible_)
            return;
        int length = 0;
        GetCtrlAttribute(g_firstPanel, FIRSTPANEL_INIT_STATUS_TXT, ATTR_STRING_TEXT_LENGTH, &length);
        std::string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
        if (GetCtrlVal(g_firstPanel, FIRSTPANEL_INIT_STATUS_TXT, text.data()) < 0)
            text.clear();
        status_ = std::string(text.c_str()).substr(0, kKeptCharacters);
    }

    // Lights the step's image (also while the panel is hidden) and shows its percentage.
    void Step(int image, int percent) const
    {
        if (image != 0)
            SetCtrlAttribute(g_firstPanel, image, ATTR_DIMMED, 0);
        if (visible_ && percent > 0)
            SetCtrlVal(g_firstPanel, FIRSTPANEL_INIT_STATUS_TXT, (status_ + std::to_string(percent) + "%").c_str());
    }

    bool Visible() const { return visible_; }

private:
    static constexpr std::size_t kKeptCharacters = 49;  // what a 50-byte text buffer holds
    bool visible_ = false;
    std::string status_;
};

struct ReadBlock {
    unsigned start;
    int count;
    int image;        // progress image lit after the block; 0 = none
    int percent;      // 0 = no percentage
    double pause;     // seconds after the block
    bool checked;     // a failure ends the read
};

ReadBlock InfoBlock(calvista::ProdInfo field, int image, int percent, double pause = 0.0)
{
    const calvista::InfoField &info = calvista::ProdInfoField(field);
    return {info.address, info.length, image, percent, pause, true};
}

int ReadBlocks(const ReadProgress &progress)
{
    using calvista::ProdInfo;
    const calvista::InfoField &material = calvista::ProdInfoField(ProdInfo::PCB_MATERIALNUMBER);
    const int identification = material.length +
                               calvista::ProdInfoField(ProdInfo::PCB_FPGA_FIRMWARE_VERSION).length +
                               calvista::ProdInfoField(ProdInfo::PCB_PARAMETER_VERSION).length;
    const ReadBlock blocks[] = {
        {calvista::kDeviceIdAddress, calvista::kDeviceIdLength, FIRSTPANEL_LOGO_LOAD_3, 35, 0.0, true},
        InfoBlock(ProdInfo::FINAL_PARAMETERING_DATUM, FIRSTPANEL_LOGO_LOAD_4, 50),
        InfoBlock(ProdInfo::FINAL_RUNNING_NUMBER, FIRSTPANEL_LOGO_LOAD_5, 65),
        // All four characters: SERIALNUM3 shows the whole field.
        InfoBlock(ProdInfo::FINAL_PARAMETERING_FACTORY_INFO, FIRSTPANEL_LOGO_LOAD_6, 80),
        InfoBlock(ProdInfo::FINAL_PARAMETERING_TYPECODE, FIRSTPANEL_LOGO_LOAD_7, 90),
        InfoBlock(ProdInfo::FINAL_PARAMETERING_DELIVERY_CODE, FIRSTPANEL_LOGO_LOAD_8, 100, 0.05),
        {8, 6, 0, 0, 0.05, false},  // the work-time counters
        {calvista::ServiceInfoField(calvista::ServiceInfo::CONFIGTOOL_MOD_INDICATOR).address, 1, 0, 0, 0.0, true},
    };

    ProcessSystemEvents();
    if (const int code = TransferBissData(kMailboxReadEeprom, calvista::kSystemBlockAddress, 96))
        return code;
    ProcessSystemEvents();
    progress.Step(FIRSTPANEL_LOGO_LOAD_2, 20);
    calvista::SysCfgvectorToRegfields();
    calvista::DorvelCfgvectorToRegfields();
    MillisecSleep(0.05);

    if (const int code = TransferBissData(kMailboxReadEeprom, material.address, identification))
        return code;
    ProcessSystemEvents();

    for (const ReadBlock &block : blocks) {
        const int code = TransferBissData(kMailboxReadEeprom, block.start, block.count);
        if (code != 0 && block.checked)
            return code;
        ProcessSystemEvents();
        progress.Step(block.image, block.percent);
        MillisecSleep(block.pause);
    }
    return 0;
}

// The live displays start empty for the newly read encoder.
void ClearPositionPage()
{
    const int position = GetTabPanel(1);
    for (const int control : {TAB_POS_SENSDATA, TAB_POS_VEF, TAB_POS_VEF_L, TAB_POS_SENSDATA_ERROR, TAB_POS_VANTREL_READY})
        SetCtrlVal(position, control, 0);
    for (int led = TAB_POS_PELLIN_ERROR; led <= TAB_POS_VANTREL_READY_2; ++led)
        SetCtrlVal(position, led, 0);
    CLR_GRAPHS_CB(position, TAB_POS_CLR_GRAPHS, EVENT_COMMIT, nullptr, 0, 0);
}

// --- Compatibility ---------------------------------------------------------------------------

constexpr const char *kKnownIdentifiers[] = {"HX2648QP", "HX1648QP"};

std::string DeviceIdentifier()
{
    std::string identifier;
    for (std::uint16_t i = 0; i < calvista::kDeviceIdLength; ++i)
        identifier += static_cast<char>(calvista::ImageByte(calvista::kDeviceIdAddress + i));
    return identifier;
}

// Firmware newer than the tool knows: 309xxx and above in the 3xxxxx line, 145xxx and above before.
bool IsNewFirmware(std::int32_t firmware)
{
    if (firmware / 100000 > 1)
        return firmware / 1000 >= 309;
    return firmware / 1000 >= 145;
}

bool ReservedBitsSet()
{
    return (calvista::ImageByte(38) & 0xF8) != 0 || (calvista::ImageByte(39) & 0xFC) != 0 ||
           (calvista::ImageByte(kOutputRegister) & 0xC0) != 0;
}

int EndUnsupported(int message)
{
    LocalizedMessagePopup(0, message);
    SetCtrlAttribute(GetTabPanel(0), TAB_SYS_WRITE_CFG, ATTR_DIMMED, 1);
    TerminateApp();
    return -1;
}

} // namespace

int TestConnection()
{
    int code = 0;
    if (g_link.switchedToBiss || g_link.protocol == kProtocolSsi)
        code = ReadScdWithoutControlAccess();
    else if (g_link.protocol == kProtocolBiss)
        code = Store(TransferBissData(kMailboxReadRam, 0, 1));
    else
        return g_link.lastError;
    SetCtrlVal(g_mainPanel, MAIN_PANEL_VANTREL_CONN_STATUS, code == 0 ? 1 : 0);
    SetLocalizedNotification(code == 0 ? 18 : 19, kSlotConnectionState);
    return code;
}

int InitConnection()
{
    const int code = Store(ConfigInterface());
    MillisecSleep(0.1);
    if (code == 0 && TestConnection() == 0)
        SetTabPageAttribute(g_mainPanel, MAIN_PANEL_TABS, 0, ATTR_DIMMED, 0);
    return g_link.lastError;
}

bool LooksLikeSsiVantrel(int code)
{
    return code == eBISS_BISS_COMM_FAILED || (code != 0 && g_link.communicationReady);
}

int SSItoBISS()
{
    g_link.switchedToBiss = 1;
    g_link.protocol = kProtocolSsi;
    g_link.scdClockDivider = kSsiClockDivider;
    g_link.frameLength = kSsiFrameLength;
    ConfigInterface();
    // Refused while the link is on SSI; the next write is the one that counts.
    OperateSlaveRegByAddress(kOutputRegister, 0, kMailboxWriteRam);
    MillisecSleep(0.1);

    g_link.protocol = kProtocolBiss;
    g_link.frameLength = kBissFrameLength;
    ConfigInterface();
    OperateSlaveRegByAddress(kOutputRegister, 0, kMailboxWriteRam);
    MillisecSleep(0.2);

    ConfigInterface();
    OperateSlaveRegByAddress(kOutputRegister, 0, kMailboxWriteRam);
    MillisecSleep(0.2);

    g_link.scdClockDivider = kBissClockDivider;
    ConfigInterface();
    if (const int code = Store(TransferBissData(kMailboxReadEeprom, kOutputRegister, 1)))
        return FailWithSupervision(code);
    MillisecSleep(0.1);
    const unsigned configured = calvista::ImageByte(kOutputRegister);
    if (const int code = Store(OperateSlaveRegByAddress(kOutputRegister, configured & ~kSsiBit & 0xFF, kMailboxWriteRam)))
        return FailWithSupervision(code);
    g_link.switchedToBiss = 0;
    return 0;
}

int BISStoSSI()
{
    g_link.frameLength = kBissFrameLength;
    g_link.scdClockDivider = kSsiClockDivider;
    ConfigInterface();
    if (const int code = Store(TransferBissData(kMailboxReadEeprom, kOutputRegister, 1)))
        return FailWithSupervision(code);
    MillisecSleep(0.1);
    unsigned output = calvista::ImageByte(kOutputRegister);
    if (g_firmware.frameTypeCapable)
        output &= ~kFrameTypeBit;
    OperateSlaveRegByAddress(kOutputRegister, (output | kSsiBit) & 0xFF, kMailboxWriteRam);
    g_link.protocol = kProtocolSsi;
    SetSSIParamsFromBitlength();
    SetFwVerSpecific(false, false, true);
    MillisecSleep(0.2);
    ConfigInterface();
    return ReadScdWithoutControlAccess();
}

int ReadData()
{
    const ReadProgress progress;
    MillisecSleep(1.0);
    if (progress.Visible()) {
        SetCtrlAttribute(g_firstPanel, FIRSTPANEL_LOGO_LOAD, ATTR_DIMMED, 0);
        progress.Step(0, 10);
    }
    if (const int code = ReadBlocks(progress))
        return code;
    Visualize();
    SetCtrlAttribute(GetTabPanel(0), TAB_SYS_WRITE_CFG, ATTR_DIMMED, 1);
    ClearPositionPage();
    return 0;
}

int CheckCompatibilityVantrel()
{
    if (g_expertMode)
        return 0;
    const std::string identifier = DeviceIdentifier();
    bool known = false;
    for (const char *candidate : kKnownIdentifiers)
        known = known || identifier == candidate;
    if (!known)
        return EndUnsupported(50);
    if (!IsNewFirmware(g_firmware.number))
        return 0;
    if (ReservedBitsSet())
        return EndUnsupported(48);
    LocalizedMessagePopup(1, 49);
    return 0;
}

int CheckFrameTypeVantrel()
{
    if (!g_firmware.frameTypeCapable)
        return 0;
    if (const int code = Store(TransferBissData(kMailboxReadRam, kOutputRegister, 1)))
        return FailWithSupervision(code);
    const unsigned output = calvista::ImageByte(kOutputRegister);
    if (output & kFrameTypeBit) {
        MillisecSleep(0.05);
        OperateSlaveRegByAddress(kOutputRegister, output & ~kFrameTypeBit & 0xFF, kMailboxWriteRam);
    }
    return 0;
}
