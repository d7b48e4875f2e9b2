// BiSS commands, under the current name and the older one.
#include "ExportFrame.h"
#include "LegacyCodes.h"

using namespace ferrolink;

extern "C" {

int BISS_CALL BISS_SendCommand(BISS_U32 ulHandle, BISS_U32 ulFirst, BISS_U32 ulSecond)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) { return m.SendCommand(ulFirst, ulSecond); });
}

int BISS_CALL SendBissCommand(BISS_U32 ulHandle, BISS_U32 ulFirst, BISS_U32 ulSecond)
{
    return TranslateLegacyCode(BISS_SendCommand(ulHandle, ulFirst & 0xFF, ulSecond & 0xFF));
}

} // extern "C"
