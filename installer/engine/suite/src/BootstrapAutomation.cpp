#include "suite/SetupEngine.h"

#include "automation/BootstrapError.h"
#include "kr/bootstrap_exception.h"
#include "kr/holders.h"
#include "kr/trace_log.h"

namespace {

HRESULT CopyOut(const _stringx& text, BSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.length()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

_stringx In(BSTR text)
{
    return text ? _stringx(text, SysStringLen(text)) : _stringx();
}

} // namespace

STDMETHODIMP CSetupEngine::get_Property(BSTR name, BSTR* value)
{
    const _stringx property = In(name);
    const _wstringx exact(property.c_str());
    if (exact == L"KRPasswordValid")
        return CopyOut(m_passwordValid ? L"true" : L"false", value);
    // The language names are the language manager's.
    for (const wchar_t* language :
         {L"KRDefaultLanguage", L"REVizizLanguages", L"KRSelectedLanguage", L"KRShowLanguageSelection", L"KRRTLLangs"})
        if (exact == language)
            return CopyOut(m_languages.GetAttribute(property), value);
    return CopyOut(m_properties.GetAttribute(property), value);
}

STDMETHODIMP CSetupEngine::put_Property(BSTR name, BSTR value)
{
    const _stringx property = In(name);
    if (AutomationReservedNames().count(property))
        return S_OK;
    try {
        SetProperty(property, In(value), false);
    } catch (const bootstrap_exception& failure) {
        return failure.hresult();
    } catch (...) {
        return E_FAIL;
    }
    return S_OK;
}

STDMETHODIMP CSetupEngine::get_Parcels(IParcels** parcels)
{
    if (!parcels)
        return E_POINTER;
    *parcels = nullptr;
    auto& collection = m_model->parcelCollection;
    if (!collection) {
        com::ComPtr<com::Object<CParcelCollection>> made;
        HRESULT hr = com::MakeObject(made);
        for (const auto& parcel : m_model->parcels) {
            if (SUCCEEDED(hr))
                hr = made->Add(parcel->GetId(), static_cast<IParcel*>(parcel.Get()));
        }
        if (FAILED(hr))
            return hr;
        collection = std::move(made);
    }
    return collection->QueryInterface(IID_IParcels, reinterpret_cast<void**>(parcels));
}

STDMETHODIMP CSetupEngine::get_InstallMode(EnumInstallMode* mode)
{
    if (!mode)
        return E_POINTER;
    *mode = m_installMode;
    return S_OK;
}

STDMETHODIMP CSetupEngine::get_BootstrapState(EnumBootstrapState* state)
{
    if (!state)
        return E_POINTER;
    return E_NOTIMPL;
}

STDMETHODIMP CSetupEngine::get_CommandLine(BSTR* commandLine)
{
    return CopyOut(m_remainingCommandLine, commandLine);
}

STDMETHODIMP CSetupEngine::LogInfo(BSTR text)
{
    TraceFormat({L"SetupEngine", __LINE__}, L"%s", In(text).c_str());
    return S_OK;
}

STDMETHODIMP CSetupEngine::get_ExitStatus(HRESULT* status)
{
    if (!status)
        return E_POINTER;
    *status = m_status;
    return S_OK;
}

STDMETHODIMP CSetupEngine::get_Features(IFeatures** features)
{
    if (!features)
        return E_POINTER;
    *features = nullptr;
    auto& collection = m_model->featureCollection;
    if (!collection) {
        com::ComPtr<com::Object<CFeatureCollection>> made;
        HRESULT hr = com::MakeObject(made);
        for (CFeature* feature : m_model->topLevelFeatures) {
            if (SUCCEEDED(hr))
                hr = made->Add(feature->GetName(), static_cast<IFeature*>(feature));
        }
        if (FAILED(hr))
            return hr;
        collection = std::move(made);
    }
    return collection->QueryInterface(IID_IFeatures, reinterpret_cast<void**>(features));
}

STDMETHODIMP CSetupEngine::get_IsMaintenance(VARIANT_BOOL* maintenance)
{
    if (!maintenance)
        return E_POINTER;
    *maintenance = m_maintenance ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CSetupEngine::SubstitutePropertyValues(BSTR original, BSTR* formatted)
{
    return CopyOut(FormatString(In(original)), formatted);
}

// No string tables are loaded yet: an id resolves to itself.
STDMETHODIMP CSetupEngine::ResolveString(BSTR id, BSTR* resolved)
{
    return CopyOut(m_languages.ResolveString(In(id)), resolved);
}

STDMETHODIMP CSetupEngine::ResolveStringAndPerformSubstitutionForEmbeddedProperties(BSTR id, BSTR* resolved)
{
    if (!resolved)
        return E_POINTER;
    *resolved = nullptr;
    kr::bstr_holder text;
    const HRESULT hr = ResolveString(id, text.address());
    if (FAILED(hr))
        return hr;
    return SubstitutePropertyValues(text.get(), resolved);
}

STDMETHODIMP CSetupEngine::RunAction(BSTR action)
{
    return RunAction(In(action), nullptr);
}

HRESULT CSetupEngine::ReportError(EnumBootstrapErrorSource source, HRESULT hr, const _stringx& text, IParcel* parcel)
{
    com::ComPtr<IBootstrapError> error;
    const HRESULT created = CBootstrapError::Create(this, GetUserDefaultLangID(), source, hr, text, parcel, error.Put());
    if (FAILED(created))
        return created;
    Fire_OnError(error.Get());
    TraceFormat({L"SetupEngine", __LINE__}, L"Error code: 0x%08x", hr);
    return hr;
}
