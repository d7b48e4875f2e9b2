#include "conditions/PlatformArchitecture.h"

#include "kr/system_info.h"

PlatformArchitecture NativePlatformArchitecture()
{
    if (!kr::is_64bit_os())
        return paOther;
    if (kr::is_amd64())
        return paAmd64;
    return kr::is_ia64() ? paIa64 : paOther;
}

const wchar_t* PlatformArchitectureName(PlatformArchitecture architecture) noexcept
{
    switch (architecture) {
    case paAmd64:
        return L"x64";
    case paIa64:
        return L"IA64";
    default:
        return L"x86";
    }
}
