#include "ExpertPageFrame.h"

#include "BusyState.h"
#include "ConnectionSequence.h"
#include "SensorLinkState.h"
#include "Supervision.h"
#include "Timers.h"

namespace {

constexpr int kTransferMessage = 55;  // "PLEASE WAIT, TRANSFER IN PROGRESS..."

} // namespace

int ExpertPageFrame::Enter()
{
    SetLoadstate(kTransferMessage);
    if (g_link.protocol != kProtocolSsi)
        return 0;
    switched_ = true;
    if (const int code = SSItoBISS())
        return Fail(code);
    return 0;
}

int ExpertPageFrame::SwitchBack()
{
    if (!switched_)
        return 0;
    switched_ = false;
    if (const int code = BISStoSSI())
        return Fail(code);
    return 0;
}

void ExpertPageFrame::Leave()
{
    ReleaseLoadstate();
}

int ExpertPageFrame::Fail(int code)
{
    return FailWithSupervision(code);
}
