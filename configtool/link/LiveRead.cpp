#include "LiveRead.h"

#include "SensorLinkState.h"

ScdState g_scd;

namespace {

constexpr BISS_U32 kErrorByteRegister = 0x48;
constexpr std::uint16_t kLiveErrorByte = 26;  // the encoder address whose bits the LED column shows

LiveReadDisplay g_display;

bool ReadingOn()
{
    return g_display.readingOn != nullptr && g_display.readingOn();
}

void PrintScd()
{
    if (g_display.printScdData != nullptr)
        g_display.printScdData();
}

int ReadScd(BISS_U32 withControl)
{
    g_link.lastError =
        BISS_ReadSCD(g_link.handle, g_scd.high, g_scd.low, &g_scd.crcStatus, withControl, &g_scd.controlDone);
    return g_link.lastError;
}

int Store(int code)
{
    g_link.lastError = code;
    return code;
}

// The cycles alternate: one starts the control read of the error byte (its data are not shown),
// the next ones read plain frames until the library reports the control read done.
int ReadBissCycle()
{
    if (!g_scd.errorReadPending) {
        if (Store(BISS_SetComParam(g_link.handle, eBISS_CP_CTRL_ADDRESS, kErrorByteRegister)) != 0)
            return g_link.lastError;
        if (Store(BISS_SetComParam(g_link.handle, eBISS_CP_CTRL_WRITE, 0)) != 0)
            return g_link.lastError;
        if (ReadScd(1) != 0)
            return g_link.lastError;
        g_scd.errorReadPending = 1;
    } else {
        if (ReadScd(0) != 0)
            return g_link.lastError;
        PrintScd();
    }
    if (g_scd.controlDone != 0) {
        if (Store(BISS_GetComParam(g_link.handle, eBISS_CP_CTRL_DATA, &g_scd.errorByte)) != 0)
            return g_link.lastError;
        if (g_display.printErrorByte != nullptr)
            g_display.printErrorByte(kLiveErrorByte);
        g_scd.errorReadPending = 0;
    }
    return g_link.lastError;
}

} // namespace

void SetLiveReadDisplay(const LiveReadDisplay &display)
{
    g_display = display;
}

int ReadSCDData()
{
    switch (g_link.protocol) {
    case kProtocolBiss:
        if (!ReadingOn())
            return 0;
        return ReadBissCycle();
    case kProtocolSsi:
        if (!ReadingOn())
            return 0;
        if (ReadScd(0) == 0)
            PrintScd();
        return g_link.lastError;
    default:
        return g_link.lastError;
    }
}

int StartSensorRead()
{
    return Store(ReadSCDData());
}
