// SCD content items and channel labels.
#include "ExportFrame.h"

using namespace ferrolink;

namespace {

void ClearText(char *text)
{
    if (text != nullptr)
        *text = '\0';
}

} // namespace

extern "C" {

int BISS_CALL BISS_GetScdContent(BISS_U32 ulHandle, BISS_U32 ulChannel, BISS_U32 *pulValues)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) { return m.GetScdContent(ulChannel, pulValues); });
}

int BISS_CALL BISS_GetScdFrameContent(BISS_U32 ulHandle, BISS_U32 ulNumberOfFrames, BISS_U32 ulChannel,
                                      BISS_U32 ulContentItem, BISS_U32 *pulValues)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) {
        return m.GetScdFrameContent(ulNumberOfFrames, ulChannel, ulContentItem, pulValues);
    });
}

int BISS_CALL BISS_SetScdContentLabels(BISS_U32 ulHandle, BISS_U32 ulChannel, BISS_U32 ulContentItem,
                                       const char *pcLabel, const char *pcUnit)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) {
        return m.SetScdContentLabels(ulChannel, ulContentItem, pcLabel, pcUnit);
    });
}

int BISS_CALL BISS_GetScdContentLabels(BISS_U32 ulHandle, BISS_U32 ulChannel, BISS_U32 ulContentItem,
                                       char *pcLabel, char *pcUnit)
{
    ClearText(pcLabel);
    ClearText(pcUnit);
    return CallMaster(ulHandle, [&](BissMasterClass &m) {
        return m.GetScdContentLabels(ulChannel, ulContentItem, pcLabel, pcUnit);
    });
}

int BISS_CALL BISS_SetScdContentParams(BISS_U32 ulHandle, BISS_U32 ulChannel, BISS_U32 ulContentItem,
                                       const BissScdContentParams *pParams)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) {
        if (pParams == nullptr)
            return static_cast<int>(eBISS_INVALID_PARAMETER);
        const BissScdContentParams params = *pParams;
        return m.SetScdContentParams(ulChannel, ulContentItem, params.ulFlag, params.ulBitLength, params.ulValue3,
                                     params.ulValue4);
    });
}

int BISS_CALL BISS_GetScdContentParams(BISS_U32 ulHandle, BISS_U32 ulChannel, BISS_U32 ulContentItem,
                                       BissScdContentParams *pParams)
{
    if (pParams != nullptr)
        *pParams = BissScdContentParams{};
    return CallMaster(ulHandle,
                      [&](BissMasterClass &m) { return m.GetScdContentParams(ulChannel, ulContentItem, pParams); });
}

int BISS_CALL BISS_SetSlaveLabel(BISS_U32 ulHandle, BISS_U32 ulChannel, const char *pcManufacturerLabel,
                                 const char *pcSlaveLabel, const char *pcCompleteLabel)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) {
        return m.SetSlaveLabel(ulChannel, pcManufacturerLabel, pcSlaveLabel, pcCompleteLabel);
    });
}

int BISS_CALL BISS_GetSlaveLabel(BISS_U32 ulHandle, BISS_U32 ulChannel, char *pcManufacturerLabel,
                                 char *pcSlaveLabel, char *pcCompleteLabel)
{
    ClearText(pcManufacturerLabel);
    ClearText(pcSlaveLabel);
    ClearText(pcCompleteLabel);
    return CallMaster(ulHandle, [&](BissMasterClass &m) {
        return m.GetSlaveLabel(ulChannel, pcManufacturerLabel, pcSlaveLabel, pcCompleteLabel);
    });
}

} // extern "C"
