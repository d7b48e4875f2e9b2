// Choosing the adapter back end, identifying and verifying the master chip, and
// the single road of master register reads and writes.
#include <windows.h>

#include "BissMaster.h"
#include "Simulation.h"
#include "ferrolink.h"

namespace ferrolink {
namespace {

// Device-interface classes of the USB adapter, by interface type 5 and 6.
constexpr GUID kUsbAdapterClassA = {0x4B104F5C, 0x324B, 0x49B4, {0x82, 0x59, 0xB4, 0xC4, 0xDB, 0x41, 0x9C, 0x9B}};
constexpr GUID kUsbAdapterClassB = {0xD5856444, 0x1898, 0x4B27, {0x99, 0x93, 0xBD, 0x9C, 0xD1, 0x01, 0x14, 0xA2}};

constexpr uint32_t kVerifyRegister = 0xE2;
constexpr uint32_t kInstructionRegister = 0xF4;
constexpr uint32_t kStatusRegister = 0xF0;
constexpr uint32_t kStopInstruction = 0x80;

bool IsUsbType(uint32_t type) { return type == eBISS_IF_DRAVIO_A || type == eBISS_IF_DRAVIO_B; }
bool IsLptType(uint32_t type) { return type >= eBISS_IF_LPT_1 && type <= eBISS_IF_LPT_3; }

} // namespace

bool BissMasterClass::ProbeLibrary(const char *file)
{
    HMODULE module = LoadLibraryA(file);
    if (module == nullptr)
        return false;
    FreeLibrary(module);
    return true;
}

int BissMasterClass::SetInterface(uint32_t type, const char *name)
{
    lowSpeedWarning_ = 0;
    registerE8Stale_ = 0;
    interfaceDescription_.clear();
    if (IsUsbType(interfaceType_))
        UsbCloseAdapter();
    interfaceType_ = type;

    switch (type) {
    case eBISS_IF_NONE:
        lptPort_.reset();
        ftdi_.Close();
        return eBISS_NO_ERROR;
    case eBISS_IF_DRAVIO_A:
    case eBISS_IF_DRAVIO_B: {
        const bool typeB = type == eBISS_IF_DRAVIO_B;
        const int opened = UsbOpenAdapter(name != nullptr ? name : "", typeB ? kUsbAdapterClassB : kUsbAdapterClassA,
                                          typeB);
        if (opened == eBISS_USB_NOT_HIGH_SPEED) {
            lowSpeedWarning_ = 1;
        } else if (opened != eBISS_NO_ERROR) {
            interfaceType_ = eBISS_IF_NONE;
            return eBISS_NO_CONNECTION;
        }
        WriteMasterRegister(kInstructionRegister, kStopInstruction);
        break;
    }
    case eBISS_IF_LPT_1:
    case eBISS_IF_LPT_2:
    case eBISS_IF_LPT_3: {
        EnableSimulationIfRequested();
        if (!ProbeLibrary("dlportio.dll")) {
            interfaceType_ = eBISS_IF_NONE;
            return eBISS_DRIVER_MISSING;
        }
        // A name that is no port address must not reach the I/O ports at 0.
        uint32_t base = 0;
        if (!ParsePortBase(name, &base)) {
            interfaceType_ = eBISS_IF_NONE;
            return eBISS_INVALID_PARAMETER;
        }
        lptPort_ = std::make_unique<LptPortClass>(base);
        break;
    }
    case eBISS_IF_FTDI: {
        EnableSimulationIfRequested();
        if (!ProbeLibrary("ftd2xx.dll")) {
            interfaceType_ = eBISS_IF_NONE;
            return eBISS_DRIVER_MISSING;
        }
        ftdi_.Close();
        const std::string description = name != nullptr && *name != '\0' ? std::string(name) + " A" : "Zeptor A";
        if (!ftdi_.Open(description)) {
            ftdi_.Close();
            interfaceType_ = eBISS_IF_NONE;
            return eBISS_NO_CONNECTION;
        }
        WriteMasterRegister(kInstructionRegister, kStopInstruction);
        break;
    }
    default:  // the PCI Express board is refused
        interfaceType_ = eBISS_IF_NONE;
        return eBISS_NO_INTERFACE;
    }

    shadow_.fill(0);
    target_.fill(0);
    IdentifyMaster();
    if (VerifyMaster(kVerifyRegister) != eBISS_NO_ERROR)
        return eBISS_MASTER_COMM_FAILED;
    return lowSpeedWarning_ ? eBISS_USB_NOT_HIGH_SPEED : eBISS_NO_ERROR;
}

int BissMasterClass::GetInterface(uint32_t *type)
{
    *type = interfaceType_;
    if (interfaceType_ == eBISS_IF_NONE)
        return eBISS_NO_ERROR;
    return VerifyMaster(kVerifyRegister) == eBISS_NO_ERROR ? eBISS_NO_ERROR : eBISS_NO_CONNECTION;
}

int BissMasterClass::GetInterfaceInfo(uint32_t reserved, std::string *text) const
{
    if (reserved != 0)
        return eBISS_INVALID_PARAMETER;
    *text = interfaceDescription_;
    return eBISS_NO_ERROR;
}

// Addresses and values beyond a byte are refused, never cut: 0x1F4 must not
// reach the instruction register.
int BissMasterClass::WriteMasterRegister(uint32_t address, uint32_t value)
{
    if (interfaceType_ == eBISS_IF_NONE)
        return eBISS_NO_INTERFACE;
    if (address > 0xFF)
        return eBISS_ADDRESS_RANGE;
    if (value > 0xFF)
        return eBISS_VALUE_RANGE;
    const auto address8 = static_cast<uint8_t>(address);
    const auto value8 = static_cast<uint8_t>(value);
    switch (interfaceType_) {
    case eBISS_IF_LPT_1: lptPort_->WriteRegister1(address8, value8); return eBISS_NO_ERROR;
    case eBISS_IF_LPT_2: lptPort_->WriteRegister2(address8, value8); return eBISS_NO_ERROR;
    case eBISS_IF_LPT_3: lptPort_->WriteRegister3(address8, value8); return eBISS_NO_ERROR;
    case eBISS_IF_FTDI: return ftdi_.WriteRegister(address8, value8);
    default: break;
    }
    if (IsUsbType(interfaceType_))
        return UsbWriteRegister(address8, value8);
    return eBISS_NO_INTERFACE;
}

int BissMasterClass::ReadMasterRegister(uint32_t address, uint32_t *value)
{
    *value = 0;
    if (interfaceType_ == eBISS_IF_NONE)
        return eBISS_NO_INTERFACE;
    if (address > 0xFF)
        return eBISS_ADDRESS_RANGE;
    const auto address8 = static_cast<uint8_t>(address);
    uint8_t value8 = 0;
    int result = eBISS_NO_INTERFACE;
    switch (interfaceType_) {
    case eBISS_IF_LPT_1: value8 = lptPort_->ReadRegister1(address8); result = eBISS_NO_ERROR; break;
    case eBISS_IF_LPT_2: value8 = lptPort_->ReadRegister2(address8); result = eBISS_NO_ERROR; break;
    case eBISS_IF_LPT_3: value8 = lptPort_->ReadRegister3(address8); result = eBISS_NO_ERROR; break;
    case eBISS_IF_FTDI: result = ftdi_.ReadRegister(address8, &value8); break;
    default:
        if (IsUsbType(interfaceType_))
            result = UsbReadRegister(address8, &value8);
        break;
    }
    *value = value8;
    return result;
}

// The parallel port has the master's end-of-cycle line; the others read status bit 0.
int BissMasterClass::ReadEndOfCycle(uint8_t *endOfCycle)
{
    if (IsLptType(interfaceType_)) {
        *endOfCycle = lptPort_->ReadBusy();
        return eBISS_NO_ERROR;
    }
    if (interfaceType_ == eBISS_IF_FTDI)
        return ftdi_.ReadEndOfCycle(endOfCycle);
    uint32_t status = 0;
    const int result = ReadMasterRegister(kStatusRegister, &status);
    *endOfCycle = static_cast<uint8_t>(status & 1);
    return result;
}

void BissMasterClass::IdentifyMaster()
{
    channelLimit_ = 0;
    registerCountLimit_ = 0;
    if (ReadMasterRegister(0xEB, &chipId_) != eBISS_NO_ERROR)
        return;
    chipRevision_ = 0;
    if ((chipId_ & 0x80) != 0 && WriteMasterRegister(0xEA, 0) != eBISS_NO_ERROR)
        return;
    if (ReadMasterRegister(0xEA, &chipRevision_) != eBISS_NO_ERROR)
        return;
    if (chipId_ == 0x83)
        channelLimit_ = 3;
    else if (chipId_ == 0x48 && chipRevision_ == 3)
        channelLimit_ = 6;
    else if (chipId_ == 0x52 || chipId_ == 0x84)
        channelLimit_ = 8;
    registerCountLimit_ = chipId_ == 0x83 || chipId_ == 0x84 ? 32 : 64;
}

MasterChipInfo BissMasterClass::GetMasterInfo()
{
    if (channelLimit_ == 0)
        IdentifyMaster();
    return {channelLimit_, registerCountLimit_, chipId_, chipRevision_};
}

int BissMasterClass::VerifyMaster(uint32_t address)
{
    uint32_t original = 0;
    int result = ReadMasterRegister(address, &original);
    if (result != eBISS_NO_ERROR)
        return result;
    const uint32_t complement = 255 - original;
    if ((result = WriteMasterRegister(address, complement)) != eBISS_NO_ERROR)
        return result;
    uint32_t readBack = 0;
    if ((result = ReadMasterRegister(address, &readBack)) != eBISS_NO_ERROR)
        return result;
    if (readBack != complement)
        return eBISS_MASTER_COMM_FAILED;
    return WriteMasterRegister(address, original);
}

} // namespace ferrolink
