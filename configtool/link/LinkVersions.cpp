#include "LinkVersions.h"

#include <cstdio>

#include "SensorLinkState.h"

double GetDLLVersion()
{
    BISS_U32 version[2] = {};  // minor, major
    if (BISS_GetDLLVersion(version) != 0)
        return 0.0;
    return version[0] / 10.0 + version[1];
}

int GetMasterVersion(char *text)
{
    BISS_U32 chipId = 0;
    BISS_U32 revision = 0;
    g_link.lastError = BISS_GetComParam(g_link.handle, eBISS_CP_MASTER_ID, &chipId);
    if (g_link.lastError != 0)
        return g_link.lastError;
    g_link.lastError = BISS_GetComParam(g_link.handle, eBISS_CP_MASTER_REVISION, &revision);
    if (g_link.lastError != 0)
        return g_link.lastError;
    if (text != nullptr)
        std::snprintf(text, kMasterVersionTextSize, "BiSS-Master V%lu-R%lu", chipId, revision);
    return 0;
}
