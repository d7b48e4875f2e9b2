#include "parcels/WindowsFeatureSuiteExtension.h"

#include "automation/TypeLibrary.h"
#include "conditions/SetupEngine.h"
#include "parcels/EngineServices.h"
#include "parcels/ProxyProvider.h"

namespace {

constexpr wchar_t kFeatureListName[] = L"KRWindowsFeatureList";
constexpr wchar_t kCore2012InstalledName[] = L"KR2012CoreInstalled";

// A null text counts as empty.
_wstringx In(BSTR text)
{
    return text ? _wstringx(text, SysStringLen(text)) : _wstringx();
}

bool IsName(BSTR name, const wchar_t* expected)
{
    return In(name) == _wstringx(expected);
}

HRESULT CopyOut(const wchar_t* text, size_t length, BSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = SysAllocStringLen(text, static_cast<UINT>(length));
    return *out ? S_OK : E_OUTOFMEMORY;
}

IBootstrap2* EngineBootstrap()
{
    IProxyProvider* provider = ProxyProvider();
    return provider ? provider->Bootstrap() : nullptr;
}

} // namespace

CWindowsFeatureSuiteExtension::CWindowsFeatureSuiteExtension()
    : com::DispatchImpl<ISuiteExtension2>(TessarelTypeInfo<&IID_ISuiteExtension2>())
{
}

CWindowsFeatureSuiteExtension::~CWindowsFeatureSuiteExtension() = default;

HRESULT CWindowsFeatureSuiteExtension::CreateInstance(com::ComPtr<com::Object<CWindowsFeatureSuiteExtension>>& out)
{
    return com::MakeObject(out);
}

std::span<const com::InterfaceEntry> CWindowsFeatureSuiteExtension::InterfaceTable() noexcept
{
    static const com::InterfaceEntry table[] = {
        com::InterfaceOf<CWindowsFeatureSuiteExtension, ISuiteExtension2>(IID_ISuiteExtension2),
        com::InterfaceOf<CWindowsFeatureSuiteExtension, ISuiteExtension2>(IID_ISuiteExtension),
        com::InterfaceOf<CWindowsFeatureSuiteExtension, ISuiteExtension2>(IID_IDispatch),
    };
    return table;
}

STDMETHODIMP CWindowsFeatureSuiteExtension::get_Attribute(BSTR, BSTR*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CWindowsFeatureSuiteExtension::LogInfo(BSTR message)
{
    IBootstrap2* engine = EngineBootstrap();
    return engine ? engine->LogInfo(message) : E_FAIL;
}

STDMETHODIMP CWindowsFeatureSuiteExtension::get_Property(BSTR name, BSTR* value)
{
    if (IsName(name, kFeatureListName))
        return CopyOut(m_featureList.c_str(), m_featureList.length(), value);
    IBootstrap2* engine = EngineBootstrap();
    return engine ? engine->get_Property(name, value) : E_FAIL;
}

STDMETHODIMP CWindowsFeatureSuiteExtension::put_Property(BSTR name, BSTR value)
{
    if (IsName(name, kCore2012InstalledName)) {
        m_core2012Installed = In(value);
        return S_OK;
    }
    IBootstrap2* engine = EngineBootstrap();
    return engine ? engine->put_Property(name, value) : E_FAIL;
}

STDMETHODIMP CWindowsFeatureSuiteExtension::FormatProperty(BSTR text, BSTR* formatted)
{
    if (!formatted)
        return E_POINTER;
    ISetupEngine* engine = SetupEngine();
    if (!engine)
        return E_FAIL;
    const _wstringx original = In(text);
    const _stringx expanded = engine->FormatString(_stringx(original.c_str(), original.length()));
    return CopyOut(expanded.c_str(), expanded.length(), formatted);
}

STDMETHODIMP CWindowsFeatureSuiteExtension::ResolveString(BSTR id, BSTR* resolved)
{
    IBootstrap2* engine = EngineBootstrap();
    return engine ? engine->ResolveString(id, resolved) : E_FAIL;
}

STDMETHODIMP CWindowsFeatureSuiteExtension::SendProgressMessage(BSTR message, int current, int maximum,
                                                                EnumProgressFlags flags)
{
    IEngineServices* services = EngineServices();
    if (!services)
        return E_FAIL;
    // The answer is not asked for: progress from here cannot cancel.
    VARIANT_BOOL ignoredCancel = VARIANT_FALSE;
    return services->Fire_OnActionEventInfo(message, current, maximum, flags, &ignoredCancel);
}
