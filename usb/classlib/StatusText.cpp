#include "Dravio.h"

#include <strsafe.h>

#include <algorithm>

namespace dravio {

namespace {

struct StatusTextRow {
    DWORD code;
    LPCTSTR text;
};

// The driver's and the library's codes with their texts; the narrow build
// predates the last two rows.
constexpr StatusTextRow kStatusTexts[] = {
    {0x00000000, TEXT("No error.")},
    {0xE0000001, TEXT("HC Error: Wrong CRC.")},
    {0xE0000002, TEXT("HC Error: Wrong bit stuffing.")},
    {0xE0000003, TEXT("HC Error: Data toggle mismatch.")},
    {0xE0000004, TEXT("HC Error: stall PID.")},
    {0xE0000005, TEXT("HC Error: Device not responding.")},
    {0xE0000006, TEXT("HC Error: PID check failed.")},
    {0xE0000007, TEXT("HC Error: Unexpected PID.")},
    {0xE0000008, TEXT("HC Error: Data Overrun.")},
    {0xE0000009, TEXT("HC Error: Data Underrun.")},
    {0xE000000A, TEXT("HC Error: Reserved1.")},
    {0xE000000B, TEXT("HC Error: Reserved2.")},
    {0xE000000C, TEXT("HC Error: Buffer Overrun.")},
    {0xE000000D, TEXT("HC Error: Buffer Underrun.")},
    {0xE000000F, TEXT("HC Error: Not accessed.")},
    {0xE0000010, TEXT("HC Error: FIFO error.")},
    {0xE0000011, TEXT("HC Error: XACT error.")},
    {0xE0000012, TEXT("HC Error: Babble detected.")},
    {0xE0000013, TEXT("HC Error: Data buffer error.")},
    {0xE0000030, TEXT("USBD Error: Endpoint halted.")},
    {0xE0000100, TEXT("USBD Error: No system memory.")},
    {0xE0000200, TEXT("USBD Error: Invalid URB function.")},
    {0xE0000300, TEXT("USBD Error: Invalid parameter.")},
    {0xE0000400, TEXT("USBD Error: Busy.")},
    {0xE0000500, TEXT("USBD Error: Request failed.")},
    {0xE0000600, TEXT("USBD Error: Invalid pipe handle.")},
    {0xE0000700, TEXT("USBD Error: No bandwidth available.")},
    {0xE0000800, TEXT("USBD Error: Internal HC error.")},
    {0xE0000900, TEXT("USBD Error: Short transfer.")},
    {0xE0000A00, TEXT("USBD Error: Bad start frame.")},
    {0xE0000B00, TEXT("USBD Error: Isochronous request failed.")},
    {0xE0000C00, TEXT("USBD Error: Frame control owned.")},
    {0xE0000D00, TEXT("USBD Error: Frame control not owned.")},
    {0xE0000E00, TEXT("USBD Error: Not supported.")},
    {0xE0000F00, TEXT("USBD Error: Invalid configuration descriptor.")},
    {0xE8001000, TEXT("USBD Error: Insufficient resources.")},
    {0xE0002000, TEXT("USBD Error: Set configuration failed.")},
    {0xE0003000, TEXT("USBD Error: Buffer too small.")},
    {0xE0004000, TEXT("USBD Error: Interface not found.")},
    {0xE0005000, TEXT("USBD Error: Invalid pipe flags.")},
    {0xE0006000, TEXT("USBD Error: Timeout.")},
    {0xE0007000, TEXT("USBD Error: Device gone.")},
    {0xE0008000, TEXT("USBD Error: Status not mapped.")},
    {0xE0010000, TEXT("USBD Error: cancelled.")},
    {0xE0020000, TEXT("USBD Error: ISO not accessed by hardware.")},
    {0xE0030000, TEXT("USBD Error: ISO TD error.")},
    {0xE0040000, TEXT("USBD Error: ISO NA late USB port.")},
    {0xE0050000, TEXT("USBD Error: ISO not accessed, submitted too late.")},
    {0xE0001000, TEXT("Operation failed.")},
    {0xE0001001, TEXT("Input buffer too small.")},
    {0xE0001002, TEXT("Output buffer too small.")},
    {0xE0001003, TEXT("Out of memory.")},
    {0xE0001004, TEXT("There are pending requests.")},
    {0xE0001005, TEXT("USB device is already configured.")},
    {0xE0001006, TEXT("USB device is not configured.")},
    {0xE0001007, TEXT("There are open pipes.")},
    {0xE0001008, TEXT("Either handle or pipe is already bound.")},
    {0xE0001009, TEXT("Handle is not bound to a pipe.")},
    {0xE000100A, TEXT("Device is removed.")},
    {0xE000100B, TEXT("Control code is not supported.")},
    {0xE000100C, TEXT("The request has been timed out.")},
    {0xE000100D, TEXT("Invalid recipient.")},
    {0xE000100E, TEXT("Invalid pipe type or invalid request type.")},
    {0xE000100F, TEXT("Invalid I/O control code.")},
    {0xE0001010, TEXT("Invalid direction of read/write operation.")},
    {0xE0001011, TEXT("Too much ISO packets.")},
    {0xE0001012, TEXT("Request pool empty.")},
    {0xE0001013, TEXT("Pipe not found.")},
    {0xE0001014, TEXT("Invalid ISO packet.")},
    {0xE0001015, TEXT("Out of address space. Not enough system resources.")},
    {0xE0001016, TEXT("Interface not found.")},
    {0xE0001017, TEXT("Invalid device state (stopped or power down).")},
    {0xE0001018, TEXT("Invalid parameter.")},
    {0xE000101A, TEXT("Power state not allowed. Set to D0 first.")},
    {0xE000101B, TEXT("Device powered down.")},
    {0xE000101C, TEXT("API Version does not match.")},
    {0xE000101D, TEXT("Set configuration failed.")},
    {0xE000101F, TEXT("Invalid process.")},
    {0xE0001020, TEXT("The device is acquired by another process for exclusive use.")},
    {0xE0001021, TEXT("A different process has opened the device.")},
    {0xE0001100, TEXT("Device not found or acquired for exclusive use.")},
    {0xE0001102, TEXT("Device not open.")},
    {0xE0001104, TEXT("No such device instance.")},
    {0xE0001105, TEXT("An invalid parameter was passed.")},
    {0xE0001107, TEXT("The handle is already opened.")},
#ifdef UNICODE
    {0xE0001108, TEXT("The device returned an invalid descriptor.")},
    {0xE0001109, TEXT("This operation or feature is not supported under Windows CE.")},
#endif
};

#ifdef UNICODE
static_assert(ARRAYSIZE(kStatusTexts) == 87);
#else
static_assert(ARRAYSIZE(kStatusTexts) == 85);
#endif

constexpr LPCTSTR kFallbackText = TEXT("Windows system error code.");

LPCTSTR StatusText(DWORD status)
{
    for (const StatusTextRow &row : kStatusTexts) {
        if (row.code == status)
            return row.text;
    }
    return kFallbackText;
}

} // namespace

DravioChar *CDravio::FormatStatusText(DravioChar *buffer, DWORD capacity, DWORD status)
{
    if (!buffer || capacity == 0)
        return buffer;

    // Every text fits here whole; the caller's capacity decides what is kept.
    TCHAR text[160];
    StringCchPrintf(text, ARRAYSIZE(text), TEXT("Error code 0x%08X: %s"), status, StatusText(status));
    const size_t length = std::min<size_t>(lstrlen(text), capacity - 1);
    std::copy_n(text, length, buffer);
    buffer[length] = TEXT('\0');
    return buffer;
}

} // namespace dravio
