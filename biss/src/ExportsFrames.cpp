// SCD frame streaming and the frames it keeps.
#include "ExportFrame.h"

using namespace ferrolink;

extern "C" {

int BISS_CALL BISS_ReadSCDFrames(BISS_U32 ulHandle, BISS_U32 ulNumberOfFrames, BISS_U32 *pulHigh, BISS_U32 *pulLow,
                                 BISS_U32 *pulFrameNumbers, BISS_U32 *pulFrameStatus)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) {
        return m.ReadScdFrames(ulNumberOfFrames, pulHigh, pulLow, pulFrameNumbers, pulFrameStatus);
    });
}

int BISS_CALL BISS_GetSCDFrame(BISS_U32 ulHandle, BISS_U32 ulFrameIndex, BISS_U32 *pulHigh, BISS_U32 *pulLow,
                               BISS_U32 *pulFrameNumber, BISS_U32 *pulFrameStatus)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) {
        return m.GetScdFrame(ulFrameIndex, pulHigh, pulLow, pulFrameNumber, pulFrameStatus);
    });
}

int BISS_CALL BISS_GetSCDFrameEx(BISS_U32 ulHandle, BISS_U32 ulNumberOfFrames, BISS_U32 ulChannel, BISS_U32 *pulHigh,
                                 BISS_U32 *pulLow, BISS_U32 *pulFrameNumbers, BISS_U32 *pulFrameStatus)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) {
        return m.GetScdFrameEx(ulNumberOfFrames, ulChannel, pulHigh, pulLow, pulFrameNumbers, pulFrameStatus);
    });
}

} // extern "C"
