#include "parcels/WindowsFeatureParcel.h"

#include <com/Bstr.h>

#include "conditions/SetupEngine.h"
#include "kr/folders.h"
#include "kr/system_info.h"
#include "kr/trace_log.h"
#include "parcels/EngineServices.h"
#include "parcels/PayloadFile.h"
#include "parcels/ProxyApi.h"
#include "parcels/WindowsFeatureSuiteExtension.h"

#define FEATURES_SOURCE TraceSource{L"WindowsFeatureParcel", __LINE__}

namespace {

constexpr DWORD kFirstDllVersion = 602;
constexpr HRESULT kCancelled = static_cast<HRESULT>(0x80070642);
constexpr HRESULT kFileNotFound = static_cast<HRESULT>(0x80070002);

// A positive exit code or DLL result is a Win32 code.
HRESULT AsWin32Result(LONG result)
{
    return result > 0 ? static_cast<HRESULT>(0x80070000u | (static_cast<DWORD>(result) & 0xFFFF)) : result;
}

DWORD OSVersion()
{
    ISetupEngine* engine = SetupEngine();
    if (!engine)
        return 0;
    const OSVERSIONINFOEXW& os = engine->OsVersionInfo();
    return os.dwMajorVersion * 100 + os.dwMinorVersion;
}

_stringx SystemFolder()
{
    try {
        return kr::get_system_folder(kr::is_wow64() ? kr::system_folder_sysnative : kr::system_folder_system);
    } catch (...) {
        return _stringx();
    }
}

} // namespace

HRESULT CWindowsFeatureParcel::MakeSuiteExtension(const _stringx& featureList, com::ComPtr<ISuiteExtension>& made)
{
    com::ComPtr<com::Object<CWindowsFeatureSuiteExtension>> extension;
    if (const HRESULT hr = CWindowsFeatureSuiteExtension::CreateInstance(extension); FAILED(hr))
        return hr;
    extension->SetFeatureList(_wstringx(featureList.c_str(), featureList.length()));
    return extension->QueryInterface(IID_ISuiteExtension, made.PutVoid());
}

void CWindowsFeatureParcel::GetRebootCodes(std::vector<DWORD>& codes)
{
    codes = {1641, 3010, 0x80070669, 0x80070BC2};
}

HRESULT CWindowsFeatureParcel::Install(bool& rebootRequired)
{
    TakeSnapshot();
    const DWORD version = OSVersion();
    IEngineServices* engine = EngineServices();
    const _stringx message = engine ? engine->ResolveStringId(L"IDS_INSTALLING_WINDOWS_FEATURES") : _stringx();
    if (!message.empty()) {
        VARIANT_BOOL cancel = VARIANT_FALSE;
        com::Bstr text(std::wstring_view(message.c_str(), message.length()));
        engine->Fire_OnActionEventInfo(text.Get(), 0, 0, epfMessageValid, &cancel);
        if (cancel == VARIANT_TRUE)
            return kCancelled;
    }
    HRESULT result = S_OK;
    if (version < kFirstDllVersion) {
        TraceFormat(FEATURES_SOURCE, L"CWindowsFeatureParcel::Install: using pkgmgr on Windows 7 or earlier");
        result = InstallWithPackageManager();
    } else {
        TraceFormat(FEATURES_SOURCE, L"CWindowsFeatureParcel::Install: using DismAPI on Windows 8 or newer");
        result = CallDismApi();
    }
    TraceFormat(FEATURES_SOURCE, L"Windows feature install result status: 0x%08x", result);
    rebootRequired = IsRebootRequired(static_cast<DWORD>(result), false);
    return result;
}

HRESULT CWindowsFeatureParcel::InstallWithPackageManager()
{
    const _stringx program = SystemFolder() + L"pkgmgr.exe";
    const _stringx arguments = L"/norestart /quiet /iu:" + m_features;
    CProxyApi proxy;
    proxy.SetCallbackWrapper(this);
    return AsWin32Result(proxy.LaunchElevatedExe(program, arguments, _stringx(), SW_SHOWNORMAL, true));
}

HRESULT CWindowsFeatureParcel::ExtractFeatureDll(_stringx& path)
{
    const _stringx name = kr::is_wow64() ? L"KRWindowsFeaturesAction64.dll" : L"KRWindowsFeaturesAction.dll";
    path = ExtractPayloadFile(name);
    if (path.empty()) {
        TraceFormat(FEATURES_SOURCE, L"Failed to extract '%s' from stream", name.c_str());
        return kFileNotFound;
    }
    return S_OK;
}

HRESULT CWindowsFeatureParcel::CallDismApi()
{
    _stringx dll;
    if (const HRESULT hr = ExtractFeatureDll(dll); FAILED(hr))
        return hr;
    com::ComPtr<ISuiteExtension> extension;
    const HRESULT created = m_makeExtension(m_features, extension);
    if (FAILED(created) || !extension) {
        const HRESULT status = FAILED(created) ? created : E_POINTER;
        TraceFormat(FEATURES_SOURCE, L"CWindowsFeatureParcel::CallDismApi: failed to create extension, status 0x%08x",
                    status);
        return status;
    }
    CProxyApi proxy(extension.Get());
    const HRESULT result = proxy.CallDll(dll, L"KRInstallWindowsFeatures", nullptr, true);
    TraceFormat(FEATURES_SOURCE, L"CWindowsFeatureParcel::CallDismApi result: 0x%08x", result);
    return AsWin32Result(result);
}
