#include "conditions/EngineOsVersion.h"

#include "conditions/SetupEngine.h"

const OSVERSIONINFOEXW& EngineOsVersionInfo()
{
    static const OSVERSIONINFOEXW none{};
    ISetupEngine* engine = SetupEngine();
    return engine ? engine->OsVersionInfo() : none;
}

unsigned EngineOsVersionNumber()
{
    const OSVERSIONINFOEXW& info = EngineOsVersionInfo();
    return info.dwMajorVersion * 100 + info.dwMinorVersion;
}
