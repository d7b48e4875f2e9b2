// Communication and frame parameters and the master register image.
#include "ExportFrame.h"

using namespace ferrolink;

extern "C" {

int BISS_CALL BISS_SetComParam(BISS_U32 ulHandle, BISS_U32 ulParam, BISS_U32 ulValue)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) { return m.SetComParam(ulParam, ulValue); });
}

int BISS_CALL BISS_GetComParam(BISS_U32 ulHandle, BISS_U32 ulParam, BISS_U32 *pulValue)
{
    return CallGetter(ulHandle, pulValue, [&](BissMasterClass &m, uint32_t *value) { return m.GetComParam(ulParam, value); });
}

int BISS_CALL BISS_SetFrameParam(BISS_U32 ulHandle, BISS_U32 ulChannel, BISS_U32 ulParam, BISS_U32 ulValue)
{
    return CallMaster(ulHandle,
                      [&](BissMasterClass &m) { return m.SetFrameParam(ulChannel, ulParam, ulValue); });
}

int BISS_CALL BISS_GetFrameParam(BISS_U32 ulHandle, BISS_U32 ulChannel, BISS_U32 ulParam, BISS_U32 *pulValue)
{
    return CallGetter(ulHandle, pulValue, [&](BissMasterClass &m, uint32_t *value) { return m.GetFrameParam(ulChannel, ulParam, value); });
}

int BISS_CALL BISS_GetMasterRegister(BISS_U32 ulHandle, BISS_U32 ulAddress, BISS_U32 *pulValue)
{
    return CallGetter(ulHandle, pulValue, [&](BissMasterClass &m, uint32_t *value) { return m.GetMasterRegister(ulAddress, value); });
}

} // extern "C"
