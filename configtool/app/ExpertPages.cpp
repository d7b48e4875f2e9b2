// The expert register page: single bytes of the EEPROM or the RAM, runs of EEPROM bytes as text,
// and the repair of both chip-block checksums. Single-byte writes and text writes go through the
// register image; reads show what the encoder holds and leave the image as it is.
#include <cstdio>
#include <string>

#include "BlockTransfer.h"
#include "ChipBlockCrcs.h"
#include "ExpertPageFrame.h"
#include "ExpertPageRules.h"
#include "FieldPacking.h"
#include "Languages.h"
#include "Panels.h"
#include "ParameterPageControls.h"
#include "ParameterPages.h"
#include "RegisterImage.h"
#include "SensorMailbox.h"
#include "SensorMemoryMap.h"
#include "SensorPower.h"
#include "Vantrel_Kelto_uir.h"

namespace {

constexpr int kRegisterPageIndex = 3;
constexpr int kErrorTitle = 0;  // "Error"

int RegisterPage()
{
    return GetTabPanel(kRegisterPageIndex);
}

ExpertTarget ChosenTarget()
{
    return CtrlInt(RegisterPage(), TAB_EXP_2_TARGET_RW) == static_cast<int>(ExpertTarget::Ram) ? ExpertTarget::Ram
                                                                                                 : ExpertTarget::Eeprom;
}

struct SingleRegister {
    ExpertTarget target;
    int requested;                          // base + register address as chosen
    std::optional<std::uint16_t> address;   // none when beyond the target's memory
};

SingleRegister ChosenRegister()
{
    const int page = RegisterPage();
    const ExpertTarget target = ChosenTarget();
    const int base = CtrlInt(page, TAB_EXP_2_BASE_ADDRESS);
    const int offset = CtrlInt(page, TAB_EXP_2_REGISTER_ADDRESS);
    return {target, base + offset, SingleRegisterAddress(base, offset, target)};
}

// Nothing is read, written or stored: the address would lie outside the memory and, for the
// EEPROM, outside the image.
void RefuseAddress(const SingleRegister &chosen)
{
    const bool ram = chosen.target == ExpertTarget::Ram;
    const char *format = g_language == kGerman
                             ? "Adresse %d liegt au\xDF" "erhalb des %s (0-%d). Es wurde nichts gelesen oder geschrieben."
                             : "Address %d lies outside the %s (0-%d). Nothing was read or written.";
    char text[160];
    std::snprintf(text, sizeof text, format, chosen.requested, ram ? "RAM" : "EEPROM",
                  ExpertMemorySize(chosen.target) - 1);
    MessagePopup(MessageText(kErrorTitle), text);
}

std::string CtrlText(int panel, int control)
{
    int length = 0;
    if (GetCtrlAttribute(panel, control, ATTR_STRING_TEXT_LENGTH, &length) < 0 || length <= 0)
        return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    if (GetCtrlVal(panel, control, text.data()) < 0)
        return {};
    text.resize(static_cast<std::size_t>(length));
    return text;
}

// The pages show the system block (and after an EEPROM write the chip block) as written.
void ShowWrittenBlocks(bool chipBlock)
{
    calvista::SysCfgvectorToRegfields();
    if (chipBlock)
        calvista::DorvelCfgvectorToRegfields();
    Visualize();
}

} // namespace

int READ_REGISTER_CB(int, int, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    const SingleRegister chosen = ChosenRegister();
    if (!chosen.address) {
        RefuseAddress(chosen);
        return 0;
    }
    ExpertPageFrame frame;
    if (const int code = frame.Enter())
        return code;
    const int operation = chosen.target == ExpertTarget::Ram ? kMailboxReadRam : kMailboxReadEeprom;
    if (const int code = OperateSlaveRegByAddress(*chosen.address, 0, operation))
        return ExpertPageFrame::Fail(code);
    SetCtrlVal(RegisterPage(), TAB_EXP_2_REGISTER_DATA, MailboxResult() & 0xFF);
    if (const int code = frame.SwitchBack())
        return code;
    frame.Leave();
    return 0;
}

int WRITE_REGISTER_CB(int, int, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    const SingleRegister chosen = ChosenRegister();
    if (!chosen.address) {
        RefuseAddress(chosen);
        return 0;
    }
    ExpertPageFrame frame;
    if (const int code = frame.Enter())
        return code;
    const int page = RegisterPage();
    calvista::UpdateBuffers(*chosen.address, 0, static_cast<std::uint16_t>(CtrlInt(page, TAB_EXP_2_REGISTER_DATA) & 0xFF));

    if (chosen.target == ExpertTarget::Ram) {
        if (const int code = TransferBissData(kMailboxWriteRam, *chosen.address, 1))
            return ExpertPageFrame::Fail(code);
        ShowWrittenBlocks(false);
        if (const int code = frame.SwitchBack())
            return code;
    } else {
        if (const int code = TransferBissData(kMailboxWriteEeprom, *chosen.address, 1))
            return ExpertPageFrame::Fail(code);
        ShowWrittenBlocks(true);
        // The encoder stays in BiSS: a restart brings it up in its configured protocol.
        if (CtrlInt(page, TAB_EXP_2_REG_WRITE_RESTART) != 0) {
            if (const int code = RestartSensor())
                return code;
        }
    }
    frame.Leave();
    return 0;
}

int READ_REGISTER_2_CB(int, int, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    const int page = RegisterPage();
    const int start = CtrlInt(page, TAB_EXP_2_REG_START_ADDRESS);
    const int requested = CtrlInt(page, TAB_EXP_2_REG_BYTES_TO_READ);
    const std::size_t count = TextRunLength(start, requested > 0 ? static_cast<std::size_t>(requested) : 0);

    ExpertPageFrame frame;
    if (const int code = frame.Enter())
        return code;
    std::string bytes(count, '\0');
    for (std::size_t j = 0; j < count; ++j) {
        if (const int code = OperateSlaveRegByAddress(static_cast<unsigned>(start) + j, 0, kMailboxReadEeprom))
            return ExpertPageFrame::Fail(code);
        bytes[j] = static_cast<char>(MailboxResult() & 0xFF);
    }
    SetCtrlVal(page, TAB_EXP_2_VANTREL_REG_DATA_ASCII, TextFromEepromBytes(bytes).c_str());
    if (const int code = frame.SwitchBack())
        return code;
    frame.Leave();
    return 0;
}

int WRITE_REGISTER_2_CB(int, int, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    const int page = RegisterPage();
    const int start = CtrlInt(page, TAB_EXP_2_REG_START_ADDRESS);
    const std::string bytes = EepromBytesFromText(CtrlText(page, TAB_EXP_2_VANTREL_REG_DATA_ASCII));
    const std::size_t count = TextRunLength(start, bytes.size());

    ExpertPageFrame frame;
    if (const int code = frame.Enter())
        return code;
    for (std::size_t i = 0; i < count; ++i)
        calvista::UpdateBuffers(static_cast<std::uint16_t>(start + i), 0, static_cast<unsigned char>(bytes[i]));
    // One transfer per byte, each with its own pause before the access.
    for (std::size_t i = 0; i < count; ++i) {
        if (const int code = TransferBissData(kMailboxWriteEeprom, static_cast<unsigned>(start) + i, 1))
            return ExpertPageFrame::Fail(code);
    }
    ShowWrittenBlocks(false);
    if (const int code = frame.SwitchBack())
        return code;
    frame.Leave();
    return 0;
}

int TARGET_RW_CB(int, int, int event, void *, int, int)
{
    if (event != EVENT_VAL_CHANGED)
        return 0;
    const int page = RegisterPage();
    const ExpertTarget target = ChosenTarget();
    const bool ram = target == ExpertTarget::Ram;
    SetCtrlAttribute(page, TAB_EXP_2_REGISTER_ADDRESS, ATTR_MAX_VALUE, ExpertMemorySize(target) - 1);
    if (ram)
        SetCtrlVal(page, TAB_EXP_2_BASE_ADDRESS, 0);
    SetCtrlDimmed(page, TAB_EXP_2_BASE_ADDRESS, ram);
    return 0;
}

int REPAIR_CRCS_CB(int, int, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    ExpertPageFrame frame;
    if (const int code = frame.Enter())
        return code;
    PackDorvelBlock();  // the fresh Dorvel checksum lands in 0x3F
    if (const int code = TransferBissData(kMailboxWriteEeprom, calvista::kDorvelCrcAddress, 1))
        return ExpertPageFrame::Fail(code);
    ShowCRCs(calvista::PellinFillBuffer(true));
    if (const int code = TransferBissData(kMailboxWriteEeprom, calvista::kPellinCrcAddress, 1))
        return ExpertPageFrame::Fail(code);
    // No switch back: the restart brings the encoder up in its configured protocol.
    return RestartSensor();
}
