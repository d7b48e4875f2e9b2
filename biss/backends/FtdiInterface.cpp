#include "FtdiInterface.h"

#include <algorithm>

#include "BissMaster.h"
#include "D2xxImports.h"
#include "TestModeClock.h"
#include "ferrolink.h"

namespace ferrolink {

namespace {

// MPSSE commands.
constexpr uint8_t kSetLowPins = 0x80;
constexpr uint8_t kReadLowPins = 0x81;
constexpr uint8_t kSetHighPins = 0x82;
constexpr uint8_t kLoopbackOff = 0x85;
constexpr uint8_t kClockDivisor = 0x86;
constexpr uint8_t kSendImmediate = 0x87;
constexpr uint8_t kBytesOut = 0x11;    // falling edge, most significant bit first
constexpr uint8_t kBytesOutIn = 0x35;  // both on the falling edge, most significant bit first

// The master's serial register interface: opcode, address, value.
constexpr uint8_t kSerialWrite = 0x02;
constexpr uint8_t kSerialRead = 0x03;
constexpr uint8_t kSerialLengthLow = 0x02;  // three bytes follow
constexpr uint8_t kChipSelectPin = 0x08;    // active low
constexpr uint32_t kAnswersPerRead = 3;     // the value is the third

// Settings by index.
constexpr size_t kLowValue = 2;
constexpr size_t kLowDirection = 3;
constexpr size_t kHighValue = 4;
constexpr size_t kHighDirection = 5;
constexpr size_t kDivisorLow = 6;
constexpr size_t kDivisorHigh = 7;
constexpr size_t kTimeouts = 8;
constexpr uint8_t kFreePins = 0xE0;

// Library arguments.
constexpr DWORD kOpenByDescription = 2;
constexpr DWORD kPurgeReceive = 1;
constexpr UCHAR kLatencyMs = 16;
constexpr UCHAR kModeReset = 0;
constexpr UCHAR kModeMpsse = 2;

constexpr size_t kSingleQueue = 0;
constexpr uint8_t kStatusRegister = 0xF0;
constexpr uint8_t kChannelStatusLow = 0xF1;
constexpr uint8_t kChannelStatusHigh = 0xF2;
constexpr uint8_t kControlStatus = 0xF3;
constexpr uint8_t kInstructionRegister = 0xF4;
constexpr uint8_t kTestModeRegister = 0xF5;
constexpr uint8_t kLegacyChipId = 0x83;

uint8_t Low8(uint32_t value) { return static_cast<uint8_t>(value & 0xFF); }

// The upper bit of each channel's pair in 0xF1 (channels 0-3) and 0xF2 (4-7).
uint32_t ValidChannels(uint8_t low, uint8_t high)
{
    uint32_t mask = 0;
    for (int k = 0; k < 4; ++k) {
        mask |= ((low >> (2 * k + 1)) & 1u) << k;
        mask |= ((high >> (2 * k + 1)) & 1u) << (k + 4);
    }
    return mask;
}

} // namespace

FtdiInterfaceClass::FtdiInterfaceClass()
{
    settings_[kTimeouts] = 1000;
}

FtdiInterfaceClass::~FtdiInterfaceClass()
{
    Close();
}

bool FtdiInterfaceClass::Open(const std::string &description)
{
    if (!BissMasterClass::ProbeLibrary("ftd2xx.dll"))
        return false;
    void *device = nullptr;
    open_ = D2xxOpenEx(description.c_str(), kOpenByDescription, &device) == 0;
    if (!open_)
        return false;
    device_ = device;
    ResetQueues();
    settings_[kLowValue] |= 0x18;
    settings_[kLowDirection] |= 0x1B;
    settings_[kHighValue] = 0;
    settings_[kHighDirection] = 0x0A;
    settings_[kDivisorHigh] = clockA_;
    settings_[kDivisorLow] = clockB_;
    return Initialise() == 0;
}

uint32_t FtdiInterfaceClass::Initialise()
{
    ResetQueues();
    D2xxSetLatencyTimer(device_, kLatencyMs);
    D2xxSetBitMode(device_, 0, kModeReset);
    D2xxSetBitMode(device_, 0, kModeMpsse);
    const DWORD timeouts = D2xxSetTimeouts(device_, settings_[kTimeouts], settings_[kTimeouts]);
    StartSingle();
    Append(kSingleQueue, {kSetLowPins, Low8(settings_[kLowValue]), Low8(settings_[kLowDirection]), kSetHighPins,
                          Low8(settings_[kHighValue]), Low8(settings_[kHighDirection]), kClockDivisor,
                          Low8(settings_[kDivisorLow]), Low8(settings_[kDivisorHigh]), kLoopbackOff});
    if (!Flush(kSingleQueue, true) || !PurgeReceive())
        return eBISS_USB_NOT_HIGH_SPEED;
    return timeouts;
}

uint32_t FtdiInterfaceClass::Close()
{
    if (!open_)
        return 0;
    const DWORD status = D2xxClose(device_);
    open_ = 0;
    device_ = nullptr;
    return status;
}

void FtdiInterfaceClass::Append(size_t queue, std::initializer_list<uint8_t> bytes)
{
    queues_[queue].insert(queues_[queue].end(), bytes);
}

void FtdiInterfaceClass::AppendChipSelect(size_t queue, bool selected)
{
    const uint8_t value = Low8(settings_[kLowValue]);
    Append(queue, {kSetLowPins, selected ? static_cast<uint8_t>(value & ~kChipSelectPin) : value,
                   Low8(settings_[kLowDirection])});
}

void FtdiInterfaceClass::AppendRegisterWrite(size_t queue, uint8_t address, uint8_t value)
{
    AppendChipSelect(queue, true);
    Append(queue, {kBytesOut, kSerialLengthLow, 0x00, kSerialWrite, address, value});
    AppendChipSelect(queue, false);
}

void FtdiInterfaceClass::AppendRegisterRead(size_t queue, uint8_t address)
{
    AppendChipSelect(queue, true);
    Append(queue, {kBytesOutIn, kSerialLengthLow, 0x00, kSerialRead, address, 0x00});
    AppendChipSelect(queue, false);
}

void FtdiInterfaceClass::ResetQueue(size_t queue)
{
    queues_[queue].clear();
    if (!needsBuilding_[queue]) {
        sent_[queue].reset();
        needsBuilding_[queue] = 1;
    }
}

void FtdiInterfaceClass::ResetQueues()
{
    for (size_t queue = 0; queue < kQueues; ++queue) {
        ResetQueue(queue);
        builtFor_[queue].clear();
    }
}

void FtdiInterfaceClass::StartSingle()
{
    ResetQueue(kSingleQueue);
    needsBuilding_[kSingleQueue] = 0;
}

// A queue flushed without clearing keeps its bytes and the copy it sent, and
// the next flush sends that copy again without rebuilding.
bool FtdiInterfaceClass::Flush(size_t queue, bool clear)
{
    if (!sent_[queue])
        sent_[queue] = queues_[queue];
    if (clear) {
        queues_[queue].clear();
        needsBuilding_[queue] = 1;
    }
    const std::vector<uint8_t> &bytes = *sent_[queue];
    const DWORD length = static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    // Nothing goes to a library that was never bound; an empty queue needs no transfer.
    const bool sent = open_ && (length == 0 || (D2xxWrite(device_, bytes.data(), length, &written) == 0 &&
                                                written == length));
    if (clear)
        sent_[queue].reset();
    return sent;
}

bool FtdiInterfaceClass::PurgeReceive()
{
    return open_ && D2xxPurge(device_, kPurgeReceive) == 0;
}

bool FtdiInterfaceClass::ReadAnswers(uint8_t *buffer, uint32_t count)
{
    DWORD done = 0;
    if (!open_ || D2xxRead(device_, buffer, count, &done) != 0 || done < count)
        return false;
    DWORD waiting = 0;
    if (D2xxGetQueueStatus(device_, &waiting) != 0 || waiting == 0)
        return true;
    // More came back than was asked for: the answers cannot be trusted.
    PurgeReceive();
    return false;
}

int FtdiInterfaceClass::WriteRegister(uint8_t address, uint8_t value)
{
    StartSingle();
    AppendRegisterWrite(kSingleQueue, address, value);
    return Flush(kSingleQueue, true) ? eBISS_NO_ERROR : eBISS_USB_CONNECTION;
}

int FtdiInterfaceClass::ReadRegister(uint8_t address, uint8_t *value)
{
    *value = 0;
    StartSingle();
    AppendRegisterRead(kSingleQueue, address);
    Append(kSingleQueue, {kSendImmediate});
    if (!Flush(kSingleQueue, true)) {
        PurgeReceive();
        return eBISS_USB_CONNECTION;
    }
    uint8_t answers[kAnswersPerRead] = {};
    if (!ReadAnswers(answers, kAnswersPerRead))
        return eBISS_USB_CONNECTION;
    *value = answers[kAnswersPerRead - 1];
    return eBISS_NO_ERROR;
}

int FtdiInterfaceClass::ReadEndOfCycle(uint8_t *endOfCycle)
{
    uint8_t status = 0;
    const int result = ReadRegister(kStatusRegister, &status);
    *endOfCycle = status & 1;
    return result;
}

bool FtdiInterfaceClass::ClockPulses(uint32_t count, uint32_t instruction, uint32_t delay)
{
    const TestModeClockPlan plan = PlanTestModeClock(count, instruction, delay, testModeBase_);
    StartSingle();
    for (uint8_t value : plan.pulses)
        AppendRegisterWrite(kSingleQueue, kTestModeRegister, value);
    if (!Flush(kSingleQueue, true))
        throw FtdiTransferFailed();
    if (plan.settle)
        SettleTestModeClock();
    StartSingle();
    AppendRegisterWrite(kSingleQueue, kTestModeRegister, plan.last);
    if (!Flush(kSingleQueue, true))
        throw FtdiTransferFailed();
    return true;
}

std::vector<uint8_t> FtdiInterfaceClass::BlockTransfer(size_t queue, uint8_t reg, uint8_t value,
                                                       const std::vector<uint8_t> &addresses)
{
    // A kept sequence serves only the reads it was built for.
    if (!needsBuilding_[queue] && builtFor_[queue] != addresses)
        ResetQueue(queue);
    if (needsBuilding_[queue]) {
        needsBuilding_[queue] = 0;
        queues_[queue].clear();
        AppendRegisterWrite(queue, reg, value);
        for (uint8_t address : addresses)
            AppendRegisterRead(queue, address);
        Append(queue, {kSendImmediate});
        builtFor_[queue] = addresses;
    }
    if (!Flush(queue, queue == kSingleQueue))
        throw FtdiTransferFailed();
    std::vector<uint8_t> answers(kAnswersPerRead * addresses.size());
    if (!ReadAnswers(answers.data(), static_cast<uint32_t>(answers.size())))
        throw FtdiTransferFailed();
    std::vector<uint8_t> values(addresses.size());
    for (size_t j = 0; j < values.size(); ++j)
        values[j] = answers[kAnswersPerRead * j + kAnswersPerRead - 1];
    return values;
}

int FtdiInterfaceClass::FrameCycle(uint8_t scd[kScdBytes], uint32_t *validMask, uint32_t channels,
                                   uint32_t freqScd, uint8_t instruction, uint32_t ssiWrite,
                                   uint32_t ssiWriteTimeout, uint32_t *controlBit, uint32_t chipId,
                                   bool *delivered)
{
    *validMask = 0;
    if (delivered != nullptr)
        *delivered = false;
    try {
        // Status polls that only let the frame's time pass, scaled to the SCD clock.
        uint32_t base = freqScd == 0 ? 2 : 2 * (freqScd & 0x0F);
        if (freqScd & 0x10)
            base *= 10;
        const uint32_t polls = 2 * base;
        const size_t queue = instruction == 2 ? 1 : instruction == 4 ? 2 : kSingleQueue;

        if (ssiWrite != 0) {
            ClockPulses(2, instruction, ssiWriteTimeout);
            return eBISS_NO_ERROR;
        }

        // The SCD registers hold eight channel slots.
        channels = std::min<uint32_t>(channels, kScdBytes / 8);
        std::vector<uint8_t> addresses(polls, kStatusRegister);
        addresses.insert(addresses.end(), {kInstructionRegister, kStatusRegister, kControlStatus});
        for (uint32_t address = 0; address < 8 * channels; ++address)
            addresses.push_back(static_cast<uint8_t>(address));
        const std::vector<uint8_t> values = BlockTransfer(queue, kInstructionRegister, instruction, addresses);

        const uint8_t *after = values.data() + polls;
        if (after[0] != 0)
            return eBISS_BISS_COMM_FAILED;  // the instruction has not ended
        const uint8_t status = after[1];
        if (controlBit != nullptr)
            *controlBit = (after[2] >> 6) & 1;
        if (!(status & 0x40))
            return eBISS_BISS_COMM_FAILED;  // no slave answered

        int result = eBISS_NO_ERROR;
        if (status & 0x10) {
            *validMask = 0xFF;
        } else {
            const int read = FrameErrorBits(chipId, validMask);
            if (read != eBISS_NO_ERROR)
                return read;
            result = eBISS_FRAME_FAILED;
        }
        if (!(status & 0x20) && (status & 0x02))
            return eBISS_FRAME_FAILED;
        std::copy(after + 3, after + 3 + 8 * channels, scd);
        if (delivered != nullptr)
            *delivered = true;
        return result;
    } catch (const FtdiTransferFailed &) {
        return eBISS_USB_CONNECTION;
    }
}

int FtdiInterfaceClass::FrameErrorBits(uint32_t chipId, uint32_t *validMask)
{
    int result = eBISS_NO_ERROR;
    if (chipId == kLegacyChipId && (result = WriteRegister(kInstructionRegister, 0x20)) != eBISS_NO_ERROR)
        return result;
    uint8_t low = 0, high = 0;
    if ((result = ReadRegister(kChannelStatusLow, &low)) != eBISS_NO_ERROR)
        return result;
    if ((result = ReadRegister(kChannelStatusHigh, &high)) != eBISS_NO_ERROR)
        return result;
    *validMask = ValidChannels(low, high);
    return eBISS_NO_ERROR;
}

int FtdiInterfaceClass::SetPins(uint32_t direction, uint32_t value, bool apply)
{
    settings_[kLowValue] = (value & kFreePins) | (settings_[kLowValue] & 0x1F);
    settings_[kLowDirection] = (direction & kFreePins) | (settings_[kLowDirection] & 0x1F);
    if (!apply)
        return eBISS_NO_ERROR;
    StartSingle();
    Append(kSingleQueue, {kSetLowPins, Low8(settings_[kLowValue]), Low8(settings_[kLowDirection]), kSetHighPins,
                          Low8(settings_[kHighValue]), Low8(settings_[kHighDirection])});
    if (!Flush(kSingleQueue, true) || !PurgeReceive())
        return eBISS_USB_CONNECTION;
    return eBISS_NO_ERROR;
}

int FtdiInterfaceClass::GetPins(uint32_t *direction, uint32_t *value, bool refresh)
{
    if (refresh) {
        StartSingle();
        Append(kSingleQueue, {kReadLowPins});
        if (!Flush(kSingleQueue, true))
            return eBISS_USB_CONNECTION;
        uint8_t pins = 0;
        DWORD done = 0;
        if (!open_ || D2xxRead(device_, &pins, 1, &done) != 0 || done < 1)
            return eBISS_USB_CONNECTION;
        settings_[kLowValue] = pins;
    }
    *direction = settings_[kLowDirection];
    *value = settings_[kLowValue];
    return eBISS_NO_ERROR;
}

void FtdiInterfaceClass::SetClock(uint32_t a, uint32_t b)
{
    clockA_ = a;
    clockB_ = b;
}

int FtdiInterfaceClass::SetSetting(uint32_t index, uint32_t value)
{
    if (index >= kSettingCount)
        return eBISS_ADDRESS_RANGE;
    settings_[index] = value;
    return eBISS_NO_ERROR;
}

int FtdiInterfaceClass::GetSetting(uint32_t index, uint32_t *value) const
{
    if (index >= kSettingCount)
        return eBISS_ADDRESS_RANGE;
    *value = settings_[index];
    return eBISS_NO_ERROR;
}

} // namespace ferrolink
