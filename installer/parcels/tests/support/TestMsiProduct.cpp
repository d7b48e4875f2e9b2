#include "TestMsiProduct.h"

#include <windows.h>

#include "parcels/MsiFunctions.h"

namespace parcel_testing {

namespace {

constexpr INT kInstallStateAbsent = 2;
constexpr INT kUILevelNone = 2;

} // namespace

std::wstring TestMsiFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring program(path);
    return program.substr(0, program.rfind(L'\\')) + L"\\parcel-msi";
}

std::wstring InstalledTestMsiVersion()
{
    wchar_t version[64] = {};
    DWORD size = 64;
    if (SystemMsiFunctions().GetProductInfoW(kTestMsiProduct, L"VersionString", version, &size) != ERROR_SUCCESS)
        return L"";
    return version;
}

void RemoveTestMsiProduct()
{
    const MsiFunctions& msi = SystemMsiFunctions();
    msi.SetInternalUI(kUILevelNone, nullptr);
    msi.ConfigureProductExW(kTestMsiProduct, 0, kInstallStateAbsent, L"");
}

} // namespace parcel_testing
