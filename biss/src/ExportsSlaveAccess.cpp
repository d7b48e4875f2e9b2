// Single-cycle data and slave registers over the control channel.
#include "ExportFrame.h"

using namespace ferrolink;

extern "C" {

int BISS_CALL BISS_ReadSCD(BISS_U32 ulHandle, BISS_U32 *pulHigh, BISS_U32 *pulLow, BISS_U32 *pulCrcOk,
                           BISS_U32 ulWithControl, BISS_U32 *pulControlDone)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) {
        if (pulHigh == nullptr || pulLow == nullptr || pulCrcOk == nullptr)
            return static_cast<int>(eBISS_INVALID_PARAMETER);
        return m.ReadScd(pulHigh, pulLow, pulCrcOk, ulWithControl, pulControlDone);
    });
}

int BISS_CALL BISS_ReadSlaveRegister(BISS_U32 ulHandle, BISS_U32 ulMode, BISS_U32 ulSlave, BISS_U32 ulAddress,
                                     BISS_U32 *pulNumberOfBytes, BISS_U32 *pulData)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) {
        return m.ReadSlaveRegister(ulMode, ulSlave, ulAddress, pulNumberOfBytes, pulData);
    });
}

int BISS_CALL BISS_WriteSlaveRegister(BISS_U32 ulHandle, BISS_U32 ulMode, BISS_U32 ulSlave, BISS_U32 ulAddress,
                                      BISS_U32 *pulNumberOfBytes, const BISS_U32 *pulData)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) {
        return m.WriteSlaveRegister(ulMode, ulSlave, ulAddress, pulNumberOfBytes, pulData);
    });
}

} // extern "C"
