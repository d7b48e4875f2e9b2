#include "suite/SetupEngine.h"

#include "automation/BootstrapError.h"
#include "kr/bootstrap_exception.h"
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
    return CopyOut(m_properties.GetAttribute(In(name)), value);
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

STDMETHODIMP CSetupEngine::put_InstallMode(EnumInstallMode mode)
{
    m_installMode = mode;
    return S_OK;
}

STDMETHODIMP CSetupEngine::get_BootstrapState(EnumBootstrapState* state)
{
    if (!state)
        return E_POINTER;
    *state = m_bootstrapState;
    return S_OK;
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
    return CopyOut(In(id), resolved);
}

STDMETHODIMP CSetupEngine::ResolveStringAndPerformSubstitutionForEmbeddedProperties(BSTR id, BSTR* resolved)
{
    return CopyOut(FormatString(In(id)), resolved);
}

STDMETHODIMP CSetupEngine::RunAction(BSTR)
{
    return E_NOTIMPL;
}

void CSetupEngine::ReportError(EnumBootstrapErrorSource source, HRESULT hr, const _stringx& text, IParcel* parcel)
{
    com::ComPtr<IBootstrapError> error;
    if (SUCCEEDED(CBootstrapError::Create(this, GetUserDefaultLangID(), source, hr, text, parcel, error.Put())))
        Fire_OnError(error.Get());
}
