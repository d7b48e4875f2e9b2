// The wire side of the generic USB driver as the simulated driver answers it:
// control codes, request and response records, isochronous buffer layout and
// the status values the driver completes requests with.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dravio::sim::wire {

// Transfer methods of a control code (low two bits).
enum class Method : uint32_t { Buffered = 0, DirectIn = 1, DirectOut = 2 };

constexpr uint32_t kDeviceType = 0x8094;

constexpr uint32_t ControlCode(uint32_t function, Method method)
{
    return (kDeviceType << 16) | (function << 2) | static_cast<uint32_t>(method);
}

constexpr uint32_t kGetDescriptor = ControlCode(0x801, Method::DirectOut);
constexpr uint32_t kSetDescriptor = ControlCode(0x802, Method::DirectIn);
constexpr uint32_t kSetFeature = ControlCode(0x803, Method::Buffered);
constexpr uint32_t kClearFeature = ControlCode(0x804, Method::Buffered);
constexpr uint32_t kGetStatus = ControlCode(0x805, Method::Buffered);
constexpr uint32_t kGetConfiguration = ControlCode(0x806, Method::Buffered);
constexpr uint32_t kGetInterface = ControlCode(0x807, Method::Buffered);
constexpr uint32_t kStoreConfigDescriptor = ControlCode(0x808, Method::Buffered);
constexpr uint32_t kSetConfiguration = ControlCode(0x809, Method::Buffered);
constexpr uint32_t kUnconfigureDevice = ControlCode(0x80A, Method::Buffered);
constexpr uint32_t kSetInterface = ControlCode(0x80B, Method::Buffered);
constexpr uint32_t kClassOrVendorInRequest = ControlCode(0x80C, Method::DirectOut);
constexpr uint32_t kClassOrVendorOutRequest = ControlCode(0x80D, Method::DirectIn);
constexpr uint32_t kGetDeviceParameters = ControlCode(0x80F, Method::Buffered);
constexpr uint32_t kSetDeviceParameters = ControlCode(0x810, Method::Buffered);
constexpr uint32_t kGetConfigurationInfo = ControlCode(0x814, Method::Buffered);
constexpr uint32_t kResetDevice = ControlCode(0x815, Method::Buffered);
constexpr uint32_t kGetCurrentFrameNumber = ControlCode(0x816, Method::Buffered);
constexpr uint32_t kSetDevicePowerState = ControlCode(0x817, Method::Buffered);
constexpr uint32_t kGetDevicePowerState = ControlCode(0x818, Method::Buffered);
constexpr uint32_t kGetBandwidthInfo = ControlCode(0x819, Method::Buffered);
constexpr uint32_t kGetDeviceInfo = ControlCode(0x81A, Method::Buffered);
constexpr uint32_t kGetDriverInfo = ControlCode(0x81B, Method::Buffered);
constexpr uint32_t kCyclePort = ControlCode(0x81C, Method::Buffered);
constexpr uint32_t kBindPipe = ControlCode(0x81E, Method::Buffered);
constexpr uint32_t kUnbindPipe = ControlCode(0x81F, Method::Buffered);
constexpr uint32_t kResetPipe = ControlCode(0x820, Method::Buffered);
constexpr uint32_t kAbortPipe = ControlCode(0x821, Method::Buffered);
constexpr uint32_t kGetPipeParameters = ControlCode(0x823, Method::Buffered);
constexpr uint32_t kSetPipeParameters = ControlCode(0x824, Method::Buffered);
constexpr uint32_t kSetupPipeStatistics = ControlCode(0x825, Method::Buffered);
constexpr uint32_t kQueryPipeStatistics = ControlCode(0x826, Method::Buffered);
constexpr uint32_t kPipeControlTransferIn = ControlCode(0x828, Method::DirectOut);
constexpr uint32_t kPipeControlTransferOut = ControlCode(0x829, Method::DirectIn);
constexpr uint32_t kControl832 = ControlCode(0x832, Method::Buffered);
constexpr uint32_t kControl833 = ControlCode(0x833, Method::Buffered);
constexpr uint32_t kControl83C = ControlCode(0x83C, Method::Buffered);
constexpr uint32_t kControl83D = ControlCode(0x83D, Method::Buffered);

// Completion statuses of the driver (what GetLastError shows the caller).
namespace status {
constexpr uint32_t kSuccess = 0;
constexpr uint32_t kStallPid = 0xE0000004;
constexpr uint32_t kInvalidConfigurationDescriptor = 0xE0000F00;
constexpr uint32_t kInputBufferTooSmall = 0xE0001001;
constexpr uint32_t kOutputBufferTooSmall = 0xE0001002;
constexpr uint32_t kPendingRequests = 0xE0001004;
constexpr uint32_t kAlreadyConfigured = 0xE0001005;
constexpr uint32_t kNotConfigured = 0xE0001006;
constexpr uint32_t kOpenPipes = 0xE0001007;
constexpr uint32_t kAlreadyBound = 0xE0001008;
constexpr uint32_t kNotBound = 0xE0001009;
constexpr uint32_t kDeviceRemoved = 0xE000100A;
constexpr uint32_t kTimeout = 0xE000100C;
constexpr uint32_t kInvalidRecipient = 0xE000100D;
constexpr uint32_t kInvalidType = 0xE000100E;
constexpr uint32_t kInvalidControlCode = 0xE000100F;
constexpr uint32_t kInvalidDirection = 0xE0001010;
constexpr uint32_t kTooManyIsoPackets = 0xE0001011;
constexpr uint32_t kPipeNotFound = 0xE0001013;
constexpr uint32_t kInvalidIsoPacket = 0xE0001014;
constexpr uint32_t kInterfaceNotFound = 0xE0001016;
constexpr uint32_t kInvalidParameter = 0xE0001018;
constexpr uint32_t kPowerStateNotAllowed = 0xE000101A;
constexpr uint32_t kDevicePoweredDown = 0xE000101B;
} // namespace status

// USB transfer types as the configuration information numbers them.
enum PipeType : uint8_t { kControlPipe = 0, kIsochronousPipe = 1, kBulkPipe = 2, kInterruptPipe = 3 };

// Request types of the class or vendor request (the USB request-type field).
enum RequestType : uint32_t { kClassRequest = 1, kVendorRequest = 2 };

#pragma pack(push, 1)

struct DescriptorRequest {
    uint32_t recipient;
    uint8_t type;
    uint8_t index;
    uint16_t language;
};

struct FeatureRequest {
    uint32_t recipient;
    uint16_t selector;
    uint16_t index;
};

struct StatusRequest {
    uint32_t recipient;
    uint16_t index;
};

struct InterfaceEntry {
    uint16_t interfaceIndex;
    uint16_t alternateSetting;
    uint32_t maximumTransferSize;
};

constexpr uint32_t kMaxInterfaces = 32;
constexpr uint32_t kMaxPipes = 32;

struct ConfigurationRequest {
    uint16_t configurationIndex;
    uint16_t interfaceCount;
    InterfaceEntry interfaces[kMaxInterfaces];
};

using InterfaceSetting = InterfaceEntry;

struct ClassOrVendorRequest {
    uint32_t flags;
    uint32_t requestType;
    uint32_t recipient;
    uint8_t reservedBits;
    uint8_t request;
    uint16_t value;
    uint16_t index;
};

struct DeviceParameters {
    uint32_t first;
    uint32_t second;
};

// The simulated driver fills the words the library carries but does not read:
// a pipe's polling interval, interface number and maximum transfer size.
struct PipeEntry {
    uint32_t type;
    uint32_t interval;
    uint16_t maximumPacketSize;
    uint8_t endpointAddress;
    uint8_t interfaceNumber;
    uint32_t maximumTransferSize;
};

struct ConfigurationInfo {
    uint32_t interfaceCount;
    uint32_t pipeCount;
    InterfaceEntry interfaces[kMaxInterfaces];
    PipeEntry pipes[kMaxPipes];
};

struct BandwidthInfo {
    uint32_t first;
    uint32_t second;
    uint32_t reserved[2];
};

constexpr uint32_t kHighSpeedFlag = 1u << 20;

struct DeviceInfo {
    uint32_t flags;
    uint32_t secondWord;
    uint32_t reserved[2];
};

struct DriverInfo {
    uint16_t apiVersion;
    uint16_t driverVersion;
    uint32_t buildNumber;
    uint32_t flags;
};

struct StatisticsSetup {
    uint32_t averagingInterval;
    uint32_t zero[2];
};

// Counters of the simulated driver: bytes moved (64-bit), completed and
// failed transfers, the averaging interval and the requests still pending.
struct PipeStatistics {
    uint32_t bytesLow;
    uint32_t bytesHigh;
    uint32_t succeeded;
    uint32_t failed;
    uint32_t averagingInterval;
    uint32_t pending;
    uint32_t reserved[2];
};

// Query flags of the statistics query: which counters restart with it.
constexpr uint32_t kResetBytes = 1;
constexpr uint32_t kResetSucceeded = 2;
constexpr uint32_t kResetFailed = 4;

// The simulated driver's control transfer request: a USB set-up packet and a
// time-out in milliseconds.
struct ControlTransferRequest {
    uint8_t requestType;
    uint8_t request;
    uint16_t value;
    uint16_t index;
    uint16_t length;
    uint32_t timeout;
};

struct Control83C {
    uint32_t value;
    uint8_t byteValue;
};

constexpr uint32_t kControl83DLength = 10;

struct IsoHeader {
    uint32_t packetCount;
    uint32_t flags;
    uint32_t zero[2];
};

struct IsoPacket {
    uint32_t offset;
    uint32_t length;
    uint32_t status;
};

#pragma pack(pop)

static_assert(sizeof(DescriptorRequest) == 8);
static_assert(sizeof(FeatureRequest) == 8);
static_assert(sizeof(StatusRequest) == 6);
static_assert(sizeof(InterfaceEntry) == 8);
static_assert(sizeof(ConfigurationRequest) == 260);
static_assert(sizeof(InterfaceSetting) == 8);
static_assert(sizeof(ClassOrVendorRequest) == 18);
static_assert(sizeof(DeviceParameters) == 8);
static_assert(sizeof(PipeEntry) == 16);
static_assert(sizeof(ConfigurationInfo) == 776);
static_assert(offsetof(ConfigurationInfo, pipes) == 264);
static_assert(sizeof(BandwidthInfo) == 16);
static_assert(sizeof(DeviceInfo) == 16);
static_assert(sizeof(DriverInfo) == 12);
static_assert(sizeof(StatisticsSetup) == 12);
static_assert(sizeof(PipeStatistics) == 32);
static_assert(sizeof(ControlTransferRequest) == 12);
static_assert(sizeof(Control83C) == 5);
static_assert(sizeof(IsoHeader) == 16);
static_assert(sizeof(IsoPacket) == 12);

// Flag bit 31 of an isochronous packet status marks a failed packet.
constexpr uint32_t kIsoPacketFailed = 0x80000000u;

} // namespace dravio::sim::wire
