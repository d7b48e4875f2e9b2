// The electronic data sheet: its image byte by byte or parameter by
// parameter, read from and written to a slave.
#include "ExportFrame.h"

using namespace ferrolink;

extern "C" {

int BISS_CALL BISS_SetEdsParam(BISS_U32 ulHandle, BISS_U32 ulParam, BISS_U32 ulValue)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) { return m.SetEdsParam(ulParam, ulValue); });
}

int BISS_CALL BISS_GetEdsParam(BISS_U32 ulHandle, BISS_U32 ulParam, BISS_U32 *pulValue)
{
    return CallGetter(ulHandle, pulValue,
                      [&](BissMasterClass &m, uint32_t *value) { return m.GetEdsParam(ulParam, value); });
}

int BISS_CALL BISS_SetEdsRegister(BISS_U32 ulHandle, BISS_U32 ulIndex, BISS_U32 ulValue)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) { return m.SetEdsRegister(ulIndex, ulValue); });
}

int BISS_CALL BISS_GetEdsRegister(BISS_U32 ulHandle, BISS_U32 ulIndex, BISS_U32 *pulValue)
{
    return CallGetter(ulHandle, pulValue,
                      [&](BissMasterClass &m, uint32_t *value) { return m.GetEdsRegister(ulIndex, value); });
}

int BISS_CALL BISS_ReadEdsParams(BISS_U32 ulHandle, BISS_U32 ulSlave)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) { return m.ReadEdsParams(ulSlave); });
}

int BISS_CALL BISS_WriteEdsParams(BISS_U32 ulHandle, BISS_U32 ulSlave)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) { return m.WriteEdsParams(ulSlave); });
}

} // extern "C"
