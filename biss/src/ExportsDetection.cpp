// Slave auto-detection.
#include "ExportFrame.h"

using namespace ferrolink;

extern "C" {

int BISS_CALL BISS_AutoDetection(BISS_U32 ulHandle, const char *pcFileName, BISS_U32 *pulChannelCount,
                                 BISS_U32 ulWriteMaster)
{
    int result = CallMaster(ulHandle, [&](BissMasterClass &m) { return m.AutoDetection(pcFileName, pulChannelCount); });
    BissMasterClass *master = BissHandleTable::Instance().Find(ulHandle);
    if (master == nullptr || ulWriteMaster == 0)
        return result;
    // The master gets what was detected, whatever the detection returned; the
    // write's own code reaches the caller but not the history.
    int written = eBISS_NO_ERROR;
    try {
        written = master->WriteMasterParams(false);
    } catch (...) {
        written = eBISS_USB_CONNECTION;
    }
    return result == eBISS_NO_ERROR ? written : result;
}

} // extern "C"
