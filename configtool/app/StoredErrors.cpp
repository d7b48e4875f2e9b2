// The position page's stored errors: the encoder's stored error byte shown in the stored LED
// column, then the encoder's latches cleared so that the next read shows only what is new.
#include <cstdint>

#include "BusyState.h"
#include "ConnectionSequence.h"
#include "LiveMonitor.h"
#include "LiveReadingPause.h"
#include "MasterSetup.h"
#include "RegisterFields.h"
#include "SensorLinkState.h"
#include "SensorMailbox.h"
#include "Supervision.h"
#include "Timers.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"

namespace {

using calvista::SysField;

constexpr int kMessageReadingStoredErrors = 60;

unsigned FieldAddress(SysField field)
{
    return calvista::SysRegField(field).address;
}

// The stored error byte and the latch of newly stored bits, read before anything is cleared.
int ReadStoredErrors()
{
    if (const int code = OperateSlaveRegByAddress(FieldAddress(SysField::STORED_VANTREL_RDY), 0, kMailboxReadRam))
        return code;
    g_storedErrorByte = MailboxResult() & 0xFF;
    return OperateSlaveRegByAddress(FieldAddress(SysField::SYS_RESERVED_16), 0, kMailboxReadRam);
}

int ClearLatches()
{
    if (const int code = OperateSlaveRegByAddress(FieldAddress(SysField::SYS_RESERVED_16), 0, kMailboxWriteRam))
        return code;
    return OperateSlaveRegByAddress(FieldAddress(SysField::SYS_RESERVED_11), 0, kMailboxWriteRam);
}

} // namespace

int READ_STORED_CB(int, int, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    const LiveReadingPause reading;
    reading.StopReadTimer();
    SetLoadstate(kMessageReadingStoredErrors);
    const bool switched = g_link.protocol == kProtocolSsi;
    if (switched) {
        if (const int code = SSItoBISS())
            return FailWithSupervision(code);
    }
    // Without the supervision back on, a master that cannot be configured would leave the tool busy.
    g_link.lastError = ConfigInterface();
    if (g_link.lastError != 0)
        return FailWithSupervision(g_link.lastError);

    if (const int code = ReadStoredErrors())
        return FailWithSupervision(code);
    PrintErrorByte(kStoredErrorByteSelector);
    if (const int code = ClearLatches())
        return FailWithSupervision(code);

    int switchBack = 0;
    if (switched)
        switchBack = BISStoSSI();
    ReleaseLoadstate();
    reading.Resume();
    return switchBack;
}
