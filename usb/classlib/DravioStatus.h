// Status values of the class library: 0, a Windows error code unchanged, or a
// 0xE000xxxx code of the driver or the library. These are the ones the library
// itself produces or looks at; the driver's others pass through untouched.
#pragma once

#include <windows.h>

namespace dravio {

constexpr DWORD DRAVIO_STATUS_SUCCESS = 0;
constexpr DWORD DRAVIO_STATUS_PENDING = ERROR_IO_PENDING;

constexpr DWORD DRAVIO_ERR_NO_MEMORY = 0xE0000100;          // an event or memory block could not be created
constexpr DWORD DRAVIO_ERR_FAILED = 0xE0001000;             // the setup API gave a detail size of 0
constexpr DWORD DRAVIO_ERR_INPUT_TOO_SMALL = 0xE0001001;
constexpr DWORD DRAVIO_ERR_OUTPUT_TOO_SMALL = 0xE0001002;
constexpr DWORD DRAVIO_ERR_DEVICE_REMOVED = 0xE000100A;
constexpr DWORD DRAVIO_ERR_TIMEOUT = 0xE000100C;            // a wait timed out
constexpr DWORD DRAVIO_ERR_INVALID_IOCTL = 0xE000100F;
constexpr DWORD DRAVIO_ERR_POWERED_DOWN = 0xE000101B;
constexpr DWORD DRAVIO_ERR_VERSION_MISMATCH = 0xE000101C;   // driver API version refused
constexpr DWORD DRAVIO_ERR_ABORTED = 0xE000101E;            // a wait ended by the caller's abort event
constexpr DWORD DRAVIO_ERR_DEVICE_NOT_FOUND = 0xE0001100;   // the device path does not exist
constexpr DWORD DRAVIO_ERR_DEVICE_NOT_OPEN = 0xE0001102;
constexpr DWORD DRAVIO_ERR_NO_SUCH_INSTANCE = 0xE0001104;   // no device interface with that number
constexpr DWORD DRAVIO_ERR_INVALID_PARAMETER = 0xE0001105;  // missing device list or interface class
constexpr DWORD DRAVIO_ERR_NO_SETUP_API = 0xE0001106;       // "setupapi.dll" could not be loaded
constexpr DWORD DRAVIO_ERR_ALREADY_OPEN = 0xE0001107;

} // namespace dravio
