// Interface selection, master registers and the BiSS start-up.
#include <cstring>
#include <string>

#include "ExportFrame.h"

using namespace ferrolink;

extern "C" {

int BISS_CALL BISS_SetInterface(BISS_U32 ulHandle, BISS_U32 ulInterface, const char *pcName)
{
    if (ulInterface > eBISS_IF_PCIE)
        return eBISS_NO_INTERFACE;
    return CallMaster(ulHandle, [&](BissMasterClass &m) { return m.SetInterface(ulInterface, pcName); });
}

int BISS_CALL BISS_GetInterface(BISS_U32 ulHandle, BISS_U32 *pulInterface)
{
    ClearOutput(pulInterface);
    return CallMaster(ulHandle, [&](BissMasterClass &m) {
        if (pulInterface == nullptr)
            return static_cast<int>(eBISS_INVALID_PARAMETER);
        // The type is handed out even when the master no longer answers.
        uint32_t type = 0;
        const int result = m.GetInterface(&type);
        *pulInterface = type;
        return result;
    });
}

int BISS_CALL BISS_GetInterfaceInfo(BISS_U32 ulHandle, BISS_U32 ulReserved, char *pcInfo)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) {
        if (pcInfo == nullptr)
            return static_cast<int>(eBISS_INVALID_PARAMETER);
        std::string text;
        const int result = m.GetInterfaceInfo(ulReserved, &text);
        if (result == eBISS_NO_ERROR)
            std::memcpy(pcInfo, text.c_str(), text.size() + 1);
        return result;
    });
}

int BISS_CALL BISS_WriteMasterRegister(BISS_U32 ulHandle, BISS_U32 ulAddress, BISS_U32 ulValue)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) { return m.WriteMasterRegister(ulAddress, ulValue); });
}

int BISS_CALL BISS_ReadMasterRegister(BISS_U32 ulHandle, BISS_U32 ulAddress, BISS_U32 *pulValue)
{
    return CallGetter(ulHandle, pulValue,
                      [&](BissMasterClass &m, uint32_t *value) { return m.ReadMasterRegister(ulAddress, value); });
}

int BISS_CALL BISS_WriteMasterParams(BISS_U32 ulHandle)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) { return m.WriteMasterParams(false); });
}

int BISS_CALL BISS_InitBissComm(BISS_U32 ulHandle)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) { return m.InitBissComm(); });
}

int BISS_CALL BISS_SetZeptorPins(BISS_U32 ulHandle, BISS_U32 ulDirection, BISS_U32 ulValue)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) { return m.SetZeptorPins(ulDirection, ulValue); });
}

int BISS_CALL BISS_GetZeptorPins(BISS_U32 ulHandle, BISS_U32 *pulDirection, BISS_U32 *pulValue)
{
    ClearOutput(pulDirection);
    ClearOutput(pulValue);
    return CallMaster(ulHandle, [&](BissMasterClass &m) {
        if (pulDirection == nullptr || pulValue == nullptr)
            return static_cast<int>(eBISS_INVALID_PARAMETER);
        uint32_t direction = 0, value = 0;
        const int result = m.GetZeptorPins(&direction, &value);
        *pulDirection = direction;
        *pulValue = value;
        return result;
    });
}

int BISS_CALL BISS_SetFtdiFreq(BISS_U32 ulHandle, BISS_U32 ulClockA, BISS_U32 ulClockB)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) { return m.SetFtdiFreq(ulClockA, ulClockB); });
}

} // extern "C"
