// The USB adapter back end: finding and opening the adapter, and moving master
// register accesses through its request and response frames.
#include <algorithm>
#include <cstring>

#include <wx/string.h>

#include "BissMaster.h"
#include "DravioStatus.h"
#include "ProcessClock.h"
#include "Simulation.h"
#include "UsbAdapterFrames.h"
#include "ferrolink.h"

namespace ferrolink {

using namespace usbadapter;

namespace {

constexpr UCHAR kInEndpoint = 0x81;
constexpr UCHAR kOutEndpoint = 0x02;
constexpr DWORD kTransferTimeoutMs = 100;
constexpr ULONG kMaxTransferSize = 0x8000;
constexpr uint32_t kLowSpeedChunk = 28;  // 28 pairs make a 64-byte request
constexpr uint8_t kInstructionRegister = 0xF4;
constexpr uint8_t kStatusRegister = 0xF0;
// Status of a wait for the echo that saw only other answers until its time-out.
constexpr DWORD kNoEchoStatus = ERROR_INVALID_DATA;

// Serial-number text of a string descriptor: UTF-16 after the 2-byte header.
std::string NarrowStringDescriptor(const uint8_t *descriptor, DWORD length)
{
    std::string text;
    const DWORD declared = std::min<DWORD>(length, descriptor[0]);
    for (DWORD offset = 2; offset + 1 < declared; offset += 2) {
        const unsigned unit = descriptor[offset] | (descriptor[offset + 1] << 8);
        text.push_back(unit < 0x100 ? static_cast<char>(unit) : '?');
    }
    return text;
}

} // namespace

uint8_t BissMasterClass::UsbOptions() const
{
    return params_.Com(eBISS_CP_ENABLE_TTL) != 0 ? kOptions | kOptionTtl : kOptions;
}

int BissMasterClass::UsbOpenAdapter(const std::string &name, const GUID &interfaceClass, bool trimName)
{
    EnableSimulationIfRequested();
    HDEVINFO list = dravio::CDravio::BuildDeviceList(&interfaceClass);
    int result = eBISS_NO_CONNECTION;
    for (int number = 0;; ++number) {
        if (usbDevice_.OpenByNumber(number, list, &interfaceClass) != dravio::DRAVIO_STATUS_SUCCESS)
            break;
        uint8_t deviceDescriptor[18] = {};
        usbDevice_.GetDeviceDescriptor(deviceDescriptor);
        const bool highSpeed = usbDevice_.IsHighSpeedDevice();
        const UCHAR serialIndex = deviceDescriptor[16];
        if (serialIndex == 0) {
            usbDevice_.Close();
            continue;
        }
        uint8_t stringDescriptor[516] = {};
        DWORD length = sizeof(stringDescriptor);
        usbDevice_.GetStringDescriptor(stringDescriptor, length, serialIndex, 0x0407);
        wxString serial(NarrowStringDescriptor(stringDescriptor, length));
        if (trimName)
            serial.Trim(true);
        interfaceDescription_ = serial.ToStdString();
        // The adapter is the one whose serial number ends with the given name.
        if (!serial.Matches(wxString("*") + wxString(name))) {
            usbDevice_.Close();
            continue;
        }
        dravio::DRAVIO_CONFIGURATION_REQUEST request = {};
        request.ConfigurationIndex = 0;
        request.NumberOfInterfaces = 1;
        request.Interfaces[0].InterfaceIndex = 0;
        request.Interfaces[0].AlternateSettingIndex = highSpeed ? 1 : 0;
        request.Interfaces[0].MaximumTransferSize = kMaxTransferSize;
        if (usbDevice_.SetConfiguration(request) != dravio::DRAVIO_STATUS_SUCCESS) {
            usbDevice_.Close();
            continue;
        }
        if (usbIn_.Bind(number, kInEndpoint, list, &interfaceClass) != dravio::DRAVIO_STATUS_SUCCESS) {
            usbDevice_.UnconfigureDevice();
            usbDevice_.Close();
            break;
        }
        if (usbOut_.Bind(number, kOutEndpoint, list, &interfaceClass) != dravio::DRAVIO_STATUS_SUCCESS) {
            usbIn_.Close();
            usbDevice_.UnconfigureDevice();
            usbDevice_.Close();
            break;
        }
        usbIn_.SetupPipeStatistics(1000);
        result = highSpeed ? eBISS_NO_ERROR : eBISS_USB_NOT_HIGH_SPEED;
        break;
    }
    dravio::CDravio::FreeDeviceList(list);
    return result;
}

int BissMasterClass::UsbCloseAdapter()
{
    usbIn_.Close();
    usbOut_.Close();
    if (usbDevice_.IsOpen())
        usbDevice_.UnconfigureDevice();
    usbDevice_.Close();
    return eBISS_NO_ERROR;
}

int BissMasterClass::UsbSend(const std::vector<uint8_t> &frame)
{
    DWORD length = static_cast<DWORD>(frame.size());
    const DWORD status = usbOut_.WriteSync(const_cast<uint8_t *>(frame.data()), length, kTransferTimeoutMs);
    return status == dravio::DRAVIO_STATUS_SUCCESS ? eBISS_NO_ERROR : eBISS_MASTER_COMM_FAILED;
}

DWORD BissMasterClass::UsbReceive(std::vector<uint8_t> *response, DWORD timeoutMs)
{
    response->assign(kResponseCapacity, 0);
    DWORD length = kResponseCapacity;
    const DWORD status = usbIn_.ReadSync(response->data(), length, timeoutMs);
    response->resize(status == dravio::DRAVIO_STATUS_SUCCESS ? length : 0);
    return status;
}

DWORD BissMasterClass::UsbReceiveEcho(uint8_t firstAddress, std::vector<uint8_t> *response, DWORD timeoutMs)
{
    const uint32_t begin = ProcessClockMs();
    for (;;) {
        const DWORD status = UsbReceive(response, timeoutMs);
        if (status != dravio::DRAVIO_STATUS_SUCCESS)
            return status;
        // Responses left over from earlier requests are skipped by the address echo.
        if (response->size() > kFirstPairOffset && (*response)[kFirstPairOffset] == firstAddress)
            return status;
        // An adapter that only ever sends strays must not hold the caller beyond the
        // request's time-out; it did answer, so this is no time-out of the line.
        if (ProcessClockMs() - begin > timeoutMs)
            return kNoEchoStatus;
    }
}

int BissMasterClass::UsbReadRegisters(const uint8_t *addresses, uint8_t *values, uint32_t count, uint8_t *status)
{
    std::vector<uint8_t> response;
    if (addresses[0] == kStatusRegister) {
        const std::vector<uint8_t> request = BuildRequest(kReadRegisters, UsbOptions(), nullptr, 0);
        if (UsbSend(request) != eBISS_NO_ERROR)
            return eBISS_MASTER_COMM_FAILED;
        const DWORD read = UsbReceive(&response, kTransferTimeoutMs);
        if (read != dravio::DRAVIO_STATUS_SUCCESS)
            return read == dravio::DRAVIO_ERR_TIMEOUT ? eBISS_BISS_COMM_FAILED : eBISS_MASTER_COMM_FAILED;
        if (response.size() <= kStatusOffset)
            return eBISS_MASTER_COMM_FAILED;
        *status = values[0] = response[kStatusOffset];
        return eBISS_NO_ERROR;
    }
    std::vector<RegisterPair> pairs(count);
    for (uint32_t i = 0; i < count; ++i)
        pairs[i] = {addresses[i], 0};
    if (UsbSend(BuildRequest(kReadRegisters, UsbOptions(), pairs.data(), count)) != eBISS_NO_ERROR)
        return eBISS_MASTER_COMM_FAILED;
    if (UsbReceiveEcho(addresses[0], &response, kTransferTimeoutMs) != dravio::DRAVIO_STATUS_SUCCESS)
        return eBISS_MASTER_COMM_FAILED;
    if (response.size() < 2 * count + 8)
        return eBISS_MASTER_COMM_FAILED;
    *status = response[kStatusOffset];
    for (uint32_t i = 0; i < count; ++i)
        values[i] = response[kFirstPairOffset + 1 + 2 * i];
    return eBISS_NO_ERROR;
}

int BissMasterClass::UsbReadRegistersSplit(const uint8_t *addresses, uint8_t *values, uint32_t count, uint8_t *status)
{
    if (!lowSpeedWarning_)
        return UsbReadRegisters(addresses, values, count, status);
    for (uint32_t done = 0; done < count;) {
        const uint32_t chunk = std::min(kLowSpeedChunk, count - done);
        const int result = UsbReadRegisters(addresses + done, values + done, chunk, status);
        if (result != eBISS_NO_ERROR)
            return result;
        done += chunk;
    }
    return eBISS_NO_ERROR;
}

int BissMasterClass::UsbWriteRegisters(const uint8_t *addresses, const uint8_t *values, uint8_t *readBack,
                                       uint32_t count, uint8_t *status)
{
    std::vector<RegisterPair> pairs(count);
    for (uint32_t i = 0; i < count; ++i)
        pairs[i] = {addresses[i], values[i]};
    if (UsbSend(BuildRequest(kWriteRegisters, UsbOptions(), pairs.data(), count)) != eBISS_NO_ERROR)
        return eBISS_MASTER_COMM_FAILED;
    std::vector<uint8_t> response;
    if (UsbReceiveEcho(addresses[0], &response, kTransferTimeoutMs) != dravio::DRAVIO_STATUS_SUCCESS)
        return eBISS_MASTER_COMM_FAILED;
    if (response.size() < 2 * count + 8)
        return eBISS_MASTER_COMM_FAILED;
    *status = response[kStatusOffset];
    for (uint32_t i = 0; readBack != nullptr && i < count; ++i)
        readBack[i] = response[kFirstPairOffset + 1 + 2 * i];

    // An instruction that starts a transfer is answered a second time when it ends.
    const uint8_t instruction = values[0];
    if (addresses[0] == kInstructionRegister && (*status & kStatusTransferEnded) == 0 &&
        ((instruction & 0x1F) != 0 || instruction == 0)) {
        const bool quiet = instruction == 0 || instruction == 0x10;
        const DWORD read = UsbReceive(&response, quiet ? 1 : 200);
        if (read == dravio::DRAVIO_STATUS_SUCCESS && response.size() > kFirstPairOffset + 1) {
            *status = response[kStatusOffset];
            if (readBack != nullptr)
                readBack[0] = response[kFirstPairOffset + 1];
        } else if (!quiet) {
            return read == dravio::DRAVIO_ERR_TIMEOUT ? eBISS_BISS_COMM_FAILED : eBISS_MASTER_COMM_FAILED;
        }
    }
    return eBISS_NO_ERROR;
}

int BissMasterClass::UsbWriteRegister(uint8_t address, uint8_t value)
{
    uint8_t status = 0;
    return UsbWriteRegisters(&address, &value, nullptr, 1, &status);
}

int BissMasterClass::UsbReadRegister(uint8_t address, uint8_t *value)
{
    uint8_t status = 0;
    return UsbReadRegistersSplit(&address, value, 1, &status);
}

int BissMasterClass::UsbSetInstruction(int drainMode, bool stop)
{
    const uint8_t address = kInstructionRegister;
    const uint8_t value = stop ? 0x80 : 0;
    uint8_t readBack = 0;
    uint8_t status = 0;
    const int result = UsbWriteRegisters(&address, &value, &readBack, 1, &status);
    if (result != eBISS_NO_ERROR)
        return result;
    std::vector<uint8_t> response;
    if (drainMode == 0) {
        const DWORD read = UsbReceive(&response, kTransferTimeoutMs);
        const bool ended = read == dravio::DRAVIO_STATUS_SUCCESS && response.size() >= 12 &&
                           (response[kStatusOffset] & kStatusTransferEnded) != 0;
        if (read == dravio::DRAVIO_STATUS_SUCCESS && !ended)
            UsbReceive(&response, kTransferTimeoutMs);
    } else if ((status & kStatusTransferEnded) == 0) {
        UsbReceive(&response, kTransferTimeoutMs);
    }
    return result;
}

int BissMasterClass::UsbStartBiss()
{
    const RegisterPair start{kInstructionRegister, 0x10};
    if (UsbSend(BuildRequest(kWriteRegisters, UsbOptions(), &start, 1)) != eBISS_NO_ERROR)
        return eBISS_MASTER_COMM_FAILED;
    std::vector<uint8_t> response;
    DWORD read = UsbReceive(&response, 1000);
    if (read != dravio::DRAVIO_STATUS_SUCCESS || response.size() <= kFirstPairOffset + 1)
        return read == dravio::DRAVIO_ERR_TIMEOUT ? eBISS_BISS_COMM_FAILED : eBISS_MASTER_COMM_FAILED;
    uint8_t status = response[kStatusOffset];
    if ((status & kStatusTransferEnded) == 0 || response[kFirstPairOffset + 1] != 0) {
        read = UsbReceive(&response, kTransferTimeoutMs);
        if (read == dravio::DRAVIO_ERR_TIMEOUT) {
            uint32_t current = 0;
            ReadMasterRegister(kStatusRegister, &current);
            if ((current & kStatusTransferEnded) == 0)
                return eBISS_BISS_COMM_FAILED;
        } else if (read != dravio::DRAVIO_STATUS_SUCCESS || response.size() <= kStatusOffset) {
            return eBISS_MASTER_COMM_FAILED;
        } else {
            status = response[kStatusOffset];
        }
    }
    if (interfaceType_ == eBISS_IF_DRAVIO_A && !NoErrorBits(status))
        return eBISS_FRAME_FAILED;
    return eBISS_NO_ERROR;
}

} // namespace ferrolink
