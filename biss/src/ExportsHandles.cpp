// Opening and closing handles, the library version and the error history.
#include <cstring>
#include <string>

#include "ExportFrame.h"

using namespace ferrolink;

extern "C" {

int BISS_CALL BISS_Open(BISS_U32 *pulHandle)
{
    if (pulHandle == nullptr)
        return eBISS_INVALID_PARAMETER;
    uint32_t handle = 0;
    const int result = BissHandleTable::Instance().Open(&handle);
    if (result == eBISS_NO_ERROR)
        *pulHandle = handle;
    return result;
}

int BISS_CALL BISS_Close(BISS_U32 ulHandle)
{
    BissHandleTable &table = BissHandleTable::Instance();
    BissMasterClass *master = table.Find(ulHandle);
    if (master == nullptr)
        return eBISS_INVALID_HANDLE;
    // Detaching closes the adapter; the history goes with the object, so nothing is recorded.
    const int result = master->SetInterface(eBISS_IF_NONE, "");
    table.Close(ulHandle);
    return result;
}

int BISS_CALL BISS_GetDLLVersion(BISS_U32 *pulVersion)
{
    if (pulVersion == nullptr)
        return eBISS_INVALID_PARAMETER;
    pulVersion[0] = 4;  // minor
    pulVersion[1] = 6;  // major
    return eBISS_NO_ERROR;
}

int BISS_CALL BISS_GetLastError(BISS_U32 ulHandle, BISS_U32 *pulErrorCode, BISS_U32 *pulErrorLevel,
                                char *pcErrorText)
{
    uint32_t code = eBISS_INVALID_HANDLE;
    uint32_t level = 0;
    std::string text;
    int result = eBISS_INVALID_HANDLE;
    if (const BissMasterClass *master = BissHandleTable::Instance().Find(ulHandle)) {
        result = master->GetLastError(&code, &level, &text);
    } else {
        BissMasterClass::GetErrorText(eBISS_INVALID_HANDLE, &level, &text);
    }
    if (pcErrorText != nullptr)
        std::memcpy(pcErrorText, text.c_str(), text.size() + 1);
    if (pulErrorLevel != nullptr)
        *pulErrorLevel = level;
    if (pulErrorCode != nullptr)
        *pulErrorCode = code;
    return result;
}

} // extern "C"
