// The wire side of the conversation with the Dravio driver: its I/O control
// codes and the packed request and response records they carry. The records
// hold no pointers, so 32-bit and 64-bit callers share one layout.
#pragma once

#include <windows.h>

#include <cstddef>

namespace dravio {

// Transfer methods of a control code.
enum : DWORD {
    DRAVIO_METHOD_BUFFERED = 0,
    DRAVIO_METHOD_DIRECT_IN = 1,  // the output buffer is the data source
    DRAVIO_METHOD_DIRECT_OUT = 2, // the output buffer is the data sink
};

constexpr DWORD DravioControlCode(DWORD function, DWORD method)
{
    return (0x8094u << 16) | (0u << 14) | (function << 2) | method;
}

// clang-format off
constexpr DWORD IOCTL_DRAVIO_GET_DESCRIPTOR                = DravioControlCode(0x801, DRAVIO_METHOD_DIRECT_OUT);
constexpr DWORD IOCTL_DRAVIO_SET_DESCRIPTOR                = DravioControlCode(0x802, DRAVIO_METHOD_DIRECT_IN);
constexpr DWORD IOCTL_DRAVIO_SET_FEATURE                   = DravioControlCode(0x803, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_CLEAR_FEATURE                 = DravioControlCode(0x804, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_GET_STATUS                    = DravioControlCode(0x805, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_GET_CONFIGURATION             = DravioControlCode(0x806, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_GET_INTERFACE                 = DravioControlCode(0x807, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_STORE_CONFIG_DESCRIPTOR       = DravioControlCode(0x808, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_SET_CONFIGURATION             = DravioControlCode(0x809, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_UNCONFIGURE_DEVICE            = DravioControlCode(0x80A, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_SET_INTERFACE                 = DravioControlCode(0x80B, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_CLASS_OR_VENDOR_IN_REQUEST    = DravioControlCode(0x80C, DRAVIO_METHOD_DIRECT_OUT);
constexpr DWORD IOCTL_DRAVIO_CLASS_OR_VENDOR_OUT_REQUEST   = DravioControlCode(0x80D, DRAVIO_METHOD_DIRECT_IN);
constexpr DWORD IOCTL_DRAVIO_GET_DEVICE_PARAMETERS         = DravioControlCode(0x80F, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_SET_DEVICE_PARAMETERS         = DravioControlCode(0x810, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_GET_CONFIGURATION_INFO        = DravioControlCode(0x814, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_RESET_DEVICE                  = DravioControlCode(0x815, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_GET_CURRENT_FRAME_NUMBER      = DravioControlCode(0x816, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_SET_DEVICE_POWER_STATE        = DravioControlCode(0x817, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_GET_DEVICE_POWER_STATE        = DravioControlCode(0x818, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_GET_BANDWIDTH_INFO            = DravioControlCode(0x819, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_GET_DEVICE_INFO               = DravioControlCode(0x81A, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_GET_DRIVER_INFO               = DravioControlCode(0x81B, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_CYCLE_PORT                    = DravioControlCode(0x81C, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_BIND_PIPE                     = DravioControlCode(0x81E, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_UNBIND_PIPE                   = DravioControlCode(0x81F, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_RESET_PIPE                    = DravioControlCode(0x820, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_ABORT_PIPE                    = DravioControlCode(0x821, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_GET_PIPE_PARAMETERS           = DravioControlCode(0x823, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_SET_PIPE_PARAMETERS           = DravioControlCode(0x824, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_SETUP_PIPE_STATISTICS         = DravioControlCode(0x825, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_QUERY_PIPE_STATISTICS         = DravioControlCode(0x826, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_PIPE_CONTROL_TRANSFER_IN      = DravioControlCode(0x828, DRAVIO_METHOD_DIRECT_OUT);
constexpr DWORD IOCTL_DRAVIO_PIPE_CONTROL_TRANSFER_OUT     = DravioControlCode(0x829, DRAVIO_METHOD_DIRECT_IN);
constexpr DWORD IOCTL_DRAVIO_CONTROL_832                   = DravioControlCode(0x832, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_CONTROL_833                   = DravioControlCode(0x833, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_CONTROL_83C                   = DravioControlCode(0x83C, DRAVIO_METHOD_BUFFERED);
constexpr DWORD IOCTL_DRAVIO_CONTROL_83D                   = DravioControlCode(0x83D, DRAVIO_METHOD_BUFFERED);
// clang-format on

// The composed codes are the driver's numbers; any slip in a function number shows here.
static_assert(IOCTL_DRAVIO_GET_DESCRIPTOR == 0x80942006);
static_assert(IOCTL_DRAVIO_SET_DESCRIPTOR == 0x80942009);
static_assert(IOCTL_DRAVIO_SET_FEATURE == 0x8094200C);
static_assert(IOCTL_DRAVIO_CLEAR_FEATURE == 0x80942010);
static_assert(IOCTL_DRAVIO_GET_STATUS == 0x80942014);
static_assert(IOCTL_DRAVIO_GET_CONFIGURATION == 0x80942018);
static_assert(IOCTL_DRAVIO_GET_INTERFACE == 0x8094201C);
static_assert(IOCTL_DRAVIO_STORE_CONFIG_DESCRIPTOR == 0x80942020);
static_assert(IOCTL_DRAVIO_SET_CONFIGURATION == 0x80942024);
static_assert(IOCTL_DRAVIO_UNCONFIGURE_DEVICE == 0x80942028);
static_assert(IOCTL_DRAVIO_SET_INTERFACE == 0x8094202C);
static_assert(IOCTL_DRAVIO_CLASS_OR_VENDOR_IN_REQUEST == 0x80942032);
static_assert(IOCTL_DRAVIO_CLASS_OR_VENDOR_OUT_REQUEST == 0x80942035);
static_assert(IOCTL_DRAVIO_GET_DEVICE_PARAMETERS == 0x8094203C);
static_assert(IOCTL_DRAVIO_SET_DEVICE_PARAMETERS == 0x80942040);
static_assert(IOCTL_DRAVIO_GET_CONFIGURATION_INFO == 0x80942050);
static_assert(IOCTL_DRAVIO_RESET_DEVICE == 0x80942054);
static_assert(IOCTL_DRAVIO_GET_CURRENT_FRAME_NUMBER == 0x80942058);
static_assert(IOCTL_DRAVIO_SET_DEVICE_POWER_STATE == 0x8094205C);
static_assert(IOCTL_DRAVIO_GET_DEVICE_POWER_STATE == 0x80942060);
static_assert(IOCTL_DRAVIO_GET_BANDWIDTH_INFO == 0x80942064);
static_assert(IOCTL_DRAVIO_GET_DEVICE_INFO == 0x80942068);
static_assert(IOCTL_DRAVIO_GET_DRIVER_INFO == 0x8094206C);
static_assert(IOCTL_DRAVIO_CYCLE_PORT == 0x80942070);
static_assert(IOCTL_DRAVIO_BIND_PIPE == 0x80942078);
static_assert(IOCTL_DRAVIO_UNBIND_PIPE == 0x8094207C);
static_assert(IOCTL_DRAVIO_RESET_PIPE == 0x80942080);
static_assert(IOCTL_DRAVIO_ABORT_PIPE == 0x80942084);
static_assert(IOCTL_DRAVIO_GET_PIPE_PARAMETERS == 0x8094208C);
static_assert(IOCTL_DRAVIO_SET_PIPE_PARAMETERS == 0x80942090);
static_assert(IOCTL_DRAVIO_SETUP_PIPE_STATISTICS == 0x80942094);
static_assert(IOCTL_DRAVIO_QUERY_PIPE_STATISTICS == 0x80942098);
static_assert(IOCTL_DRAVIO_PIPE_CONTROL_TRANSFER_IN == 0x809420A2);
static_assert(IOCTL_DRAVIO_PIPE_CONTROL_TRANSFER_OUT == 0x809420A5);
static_assert(IOCTL_DRAVIO_CONTROL_832 == 0x809420C8);
static_assert(IOCTL_DRAVIO_CONTROL_833 == 0x809420CC);
static_assert(IOCTL_DRAVIO_CONTROL_83C == 0x809420F0);
static_assert(IOCTL_DRAVIO_CONTROL_83D == 0x809420F4);

// Descriptor types of the descriptor requests (USB numbering).
enum : UCHAR {
    DRAVIO_DESCRIPTOR_DEVICE = 1,
    DRAVIO_DESCRIPTOR_CONFIGURATION = 2,
    DRAVIO_DESCRIPTOR_STRING = 3,
};

// Pipe types in the configuration information (USB transfer types).
enum : ULONG {
    DRAVIO_PIPE_CONTROL = 0,
    DRAVIO_PIPE_ISOCHRONOUS = 1,
    DRAVIO_PIPE_BULK = 2,
    DRAVIO_PIPE_INTERRUPT = 3,
};

constexpr ULONG DRAVIO_PIPE_FLAG_BIT16 = 0x10000;  // the one pipe flag this system sets or reads
constexpr ULONG DRAVIO_DEVICE_FLAG_HIGH_SPEED = 1u << 20;
constexpr ULONG DRAVIO_STATISTICS_RESET_ALL = 7;
constexpr DWORD DRAVIO_MAX_INTERFACES = 32;
constexpr DWORD DRAVIO_MAX_PIPES = 32;

#pragma pack(push, 1)

struct DRAVIO_DESCRIPTOR_REQUEST {
    ULONG Recipient; // 0 = the device
    UCHAR DescriptorType;
    UCHAR DescriptorIndex;
    USHORT LanguageId; // 0 except for string descriptors
};

struct DRAVIO_FEATURE_REQUEST {
    ULONG Recipient;
    USHORT FeatureSelector;
    USHORT Index;
};

struct DRAVIO_STATUS_REQUEST {
    ULONG Recipient;
    USHORT Index;
};

struct DRAVIO_INTERFACE_SETTING {
    USHORT InterfaceIndex;
    USHORT AlternateSettingIndex;
    ULONG MaximumTransferSize;
};

struct DRAVIO_CONFIGURATION_REQUEST {
    USHORT ConfigurationIndex;
    USHORT NumberOfInterfaces; // meaningful entries below, at most 32
    DRAVIO_INTERFACE_SETTING Interfaces[DRAVIO_MAX_INTERFACES];
};

struct DRAVIO_CLASS_OR_VENDOR_REQUEST {
    ULONG Flags;
    ULONG RequestType; // class or vendor, in the driver's numbering
    ULONG Recipient;
    UCHAR RequestTypeReservedBits;
    UCHAR Request;
    USHORT Value;
    USHORT Index;
};

struct DRAVIO_DEVICE_PARAMETERS {
    ULONG FirstParameter;
    ULONG SecondParameter;
};

struct DRAVIO_INTERFACE_INFO {
    UCHAR Data[8]; // carried, not read
};

struct DRAVIO_PIPE_INFO {
    ULONG PipeType;
    ULONG Reserved1;
    USHORT MaximumPacketSize;
    UCHAR EndpointAddress;
    UCHAR Reserved2[5];
};

struct DRAVIO_CONFIGURATION_INFO {
    ULONG NumberOfInterfaces;
    ULONG NumberOfPipes;
    DRAVIO_INTERFACE_INFO Interfaces[DRAVIO_MAX_INTERFACES];
    DRAVIO_PIPE_INFO Pipes[DRAVIO_MAX_PIPES];
};

struct DRAVIO_BANDWIDTH_INFO {
    ULONG FirstValue;
    ULONG SecondValue;
    UCHAR Reserved[8];
};

struct DRAVIO_DEVICE_INFO {
    ULONG DeviceFlags; // bit 20: high speed
    ULONG SecondWord;
    UCHAR Reserved[8];
};

struct DRAVIO_DRIVER_INFO {
    USHORT ApiVersion; // major in the high byte, minor in the low byte
    USHORT DriverVersion;
    ULONG DriverBuildNumber;
    ULONG DriverFlags;
};

struct DRAVIO_PIPE_STATISTICS_SETUP {
    ULONG AveragingInterval;
    ULONG Reserved1;
    ULONG Reserved2;
};

struct DRAVIO_PIPE_STATISTICS {
    ULONG Values[6]; // handed to the caller in order
    ULONG Reserved[2];
};

struct DRAVIO_CONTROL_TRANSFER_REQUEST {
    UCHAR Data[12]; // supplied whole by the caller
};

struct DRAVIO_CONTROL_83C_REQUEST {
    ULONG Value;
    UCHAR Byte;
};

struct DRAVIO_CONTROL_83D_DATA {
    UCHAR Data[10];
};

// Isochronous transfer buffer: this header, one packet entry per packet, then the data.
struct DRAVIO_ISO_HEADER {
    ULONG NumberOfPackets;
    ULONG Flags;
    ULONG Reserved1;
    ULONG Reserved2;
};

struct DRAVIO_ISO_PACKET {
    ULONG Offset; // of the packet's data from the start of the buffer
    ULONG Length;
    ULONG Status; // bit 31 set after completion: the packet failed
};

#pragma pack(pop)

static_assert(sizeof(DRAVIO_DESCRIPTOR_REQUEST) == 8);
static_assert(sizeof(DRAVIO_FEATURE_REQUEST) == 8);
static_assert(sizeof(DRAVIO_STATUS_REQUEST) == 6);
static_assert(sizeof(DRAVIO_INTERFACE_SETTING) == 8);
static_assert(sizeof(DRAVIO_CONFIGURATION_REQUEST) == 260);
static_assert(sizeof(DRAVIO_CLASS_OR_VENDOR_REQUEST) == 18);
static_assert(sizeof(DRAVIO_DEVICE_PARAMETERS) == 8);
static_assert(sizeof(DRAVIO_INTERFACE_INFO) == 8);
static_assert(sizeof(DRAVIO_PIPE_INFO) == 16);
static_assert(offsetof(DRAVIO_PIPE_INFO, MaximumPacketSize) == 8);
static_assert(offsetof(DRAVIO_PIPE_INFO, EndpointAddress) == 10);
static_assert(sizeof(DRAVIO_CONFIGURATION_INFO) == 776);
static_assert(offsetof(DRAVIO_CONFIGURATION_INFO, Pipes) == 264);
static_assert(sizeof(DRAVIO_BANDWIDTH_INFO) == 16);
static_assert(sizeof(DRAVIO_DEVICE_INFO) == 16);
static_assert(sizeof(DRAVIO_DRIVER_INFO) == 12);
static_assert(sizeof(DRAVIO_PIPE_STATISTICS_SETUP) == 12);
static_assert(sizeof(DRAVIO_PIPE_STATISTICS) == 32);
static_assert(sizeof(DRAVIO_CONTROL_TRANSFER_REQUEST) == 12);
static_assert(sizeof(DRAVIO_CONTROL_83C_REQUEST) == 5);
static_assert(sizeof(DRAVIO_CONTROL_83D_DATA) == 10);
static_assert(sizeof(DRAVIO_ISO_HEADER) == 16);
static_assert(sizeof(DRAVIO_ISO_PACKET) == 12);

} // namespace dravio
