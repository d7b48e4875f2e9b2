#include "parcels/Feature.h"

#include <algorithm>

#include "automation/TypeLibrary.h"
#include "kr/trace_log.h"
#include "parcels/EngineServices.h"
#include "parcels/FeatureHost.h"
#include "parcels/Parcel.h"
#include "parcels/ParcelMapping.h"

#define FEATURE_SOURCE TraceSource{L"Feature", __LINE__}

namespace {

constexpr HRESULT kNotSupported = static_cast<HRESULT>(0x80070032);

HRESULT CopyOut(const _stringx& text, BSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.length()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

const wchar_t* YesNo(bool value)
{
    return value ? L"yes" : L"no";
}

bool Contains(const kr::stringx_vector& names, const _stringx& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

CParcel* FindParcel(const _stringx& id)
{
    IFeatureHost* host = FeatureHost();
    return host ? host->FindParcel(id) : nullptr;
}

EnumInstallMode InstallMode()
{
    IEngineServices* engine = EngineServices();
    return engine ? engine->GetInstallMode() : eimInstall;
}

// An entry counts as present when its parcel, or the feature inside its package, is installed.
bool IsPresent(CParcel& parcel, const ParcelMapping& mapping)
{
    EnumParcelInstallState detected = episAbsent;
    if (FAILED(parcel.get_DetectedState(&detected)))
        detected = episAbsent;
    TraceFormat(FEATURE_SOURCE, L"Parcel detect state: %d", static_cast<int>(detected));
    if (detected != episInstalled)
        return false;
    if (!mapping.hasPackageFeature)
        return !parcel.IsShared() || parcel.IsSuiteClient();
    CParcelHandler* handler = parcel.Handler();
    if (!handler)
        return false;
    int state = 0;
    const HRESULT hr = handler->GetFeatureState(mapping.packageFeature, &state);
    return hr >= 0 && hr != 1 && state != 0;
}

} // namespace

CFeature::CFeature() : com::DispatchImpl<IFeature>(TessarelTypeInfo<&IID_IFeature>()) {}

CFeature::~CFeature()
{
    m_children.clear();
    m_mappings.clear();
}

HRESULT CFeature::CreateInstance(CFeature** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    com::ComPtr<com::Object<CFeature>> feature;
    const HRESULT hr = com::MakeObject(feature);
    if (FAILED(hr))
        return hr;
    *out = feature.Detach();
    return S_OK;
}

std::span<const com::InterfaceEntry> CFeature::InterfaceTable() noexcept
{
    static const com::InterfaceEntry table[] = {
        com::InterfaceOf<CFeature, IFeature>(IID_IFeature),
        com::InterfaceOf<CFeature, IDispatch>(IID_IDispatch),
    };
    return table;
}

// Setup -----------------------------------------------------------------------

void CFeature::SetAttribute(const _stringx& name, const _stringx& value)
{
    if (name == L"Name") {
        m_name = value;
    } else if (name == L"DisplayName") {
        m_displayName = value;
    } else if (name == L"Description") {
        m_description = value;
    } else if (name == L"Visible") {
        if (value == L"no")
            m_visible = false;
    } else if (name == L"AllowSelectionChange") {
        if (value == L"no")
            m_allowSelectionChange = false;
    } else if (name == L"FollowParentState") {
        m_followParentState = value == L"yes";
    } else if (name == L"Install") {
        kr::stringx_vector pieces;
        value.split(L' ', kr::split_skip_empty, pieces);
        m_mappings = std::move(pieces);
    } else if (name == L"Cost") {
        long long cost = 0;
        m_cost = value.to_int64(cost) ? cost : 0;
    } else {
        CProperties::SetAttribute(name, value);
    }
}

void CFeature::SetCondition(std::unique_ptr<CCondition> condition)
{
    if (m_conditionSlot == L"visible")
        m_visibleCondition = std::move(condition);
    else
        m_installCondition = std::move(condition);
}

void CFeature::LoadStateValue(const CStateEntry& entry)
{
    const _stringx name = entry.GetName();
    if (name == L"Detect")
        m_installedState = entry.GetInt();
    else if (name == L"Action")
        m_actionState = entry.GetInt();
    else
        CProperties::SetAttribute(name, entry.GetString());
}

// Tree ------------------------------------------------------------------------

HRESULT CFeature::EnsureFeatures()
{
    if (m_features)
        return S_OK;
    com::ComPtr<com::Object<CFeatureCollection>> features;
    HRESULT hr = com::MakeObject(features);
    if (FAILED(hr))
        return hr;
    for (CFeature* child : m_children) {
        hr = features->Add(child->m_name, static_cast<IFeature*>(child));
        if (FAILED(hr))
            return hr;
    }
    m_features = std::move(features);
    return S_OK;
}

CFeature* CFeature::ChildOf(IFeature* item) const noexcept
{
    for (CFeature* child : m_children) {
        if (static_cast<IFeature*>(child) == item)
            return child;
    }
    return nullptr;
}

com::ComPtr<IFeature> CFeature::FindFeature(const _stringx& name)
{
    if (FAILED(EnsureFeatures()))
        return nullptr;
    com::ComPtr<IFeature> found;
    VARIANT key;
    VariantInit(&key);
    key.vt = VT_BSTR;
    key.bstrVal = SysAllocStringLen(name.c_str(), static_cast<UINT>(name.length()));
    const HRESULT hr = m_features->get_Item(key, found.Put());
    VariantClear(&key);
    if (SUCCEEDED(hr) && found)
        return found;
    for (size_t position = 0; position < m_features->Size(); ++position) {
        CFeature* child = ChildOf(m_features->ItemAt(position));
        if (!child)
            continue;
        if (com::ComPtr<IFeature> deeper = child->FindFeature(name))
            return deeper;
    }
    return nullptr;
}

bool CFeature::FollowsParent() const
{
    IFeatureHost* host = FeatureHost();
    return m_followParentState && !(host && host->IsTopLevelFeature(m_name));
}

bool CFeature::SharesParcelWith(const CFeature& other) const
{
    for (const _stringx& mine : m_mappings) {
        const _stringx id = SplitParcelMapping(mine).parcelId;
        for (const _stringx& theirs : other.m_mappings) {
            if (SplitParcelMapping(theirs).parcelId == id)
                return true;
        }
    }
    return false;
}

// Initial state ---------------------------------------------------------------

void CFeature::SetDefaultActionState(EnumInstallMode mode)
{
    switch (mode) {
    case eimInstall:
    case eimRepair:
    case eimAdmin:
        m_actionState = efasInstall;
        break;
    case eimRemove:
        m_actionState = efasRemove;
        break;
    case eimUIMaintSelection:
        m_actionState = efasNoAction;
        break;
    default:
        break;
    }
    TraceFormat(FEATURE_SOURCE, L"Default action state %d for mode %d", m_actionState, static_cast<int>(mode));
}

void CFeature::InitializeState(EnumInstallMode mode, const kr::stringx_vector& install,
                               const kr::stringx_vector& remove)
{
    for (CFeature* child : m_children)
        child->InitializeState(mode, install, remove);

    TraceFormat(FEATURE_SOURCE, L"Initializing state for feature '%s'", m_name.c_str());
    SetDefaultActionState(mode);

    if (m_visible && m_visibleCondition) {
        bool visible = m_visible;
        const HRESULT hr = m_visibleCondition->Evaluate(&visible);
        if (FAILED(hr)) {
            TraceFormat(FEATURE_SOURCE, L"Failed to evaluate feature visible condition, error %x", hr);
            return;
        }
        m_visible = visible;
    }

    if (m_installCondition && mode == eimInstall) {
        TraceFormat(FEATURE_SOURCE, L"Feature has conditions and install state is first time install");
        bool holds = false;
        const HRESULT hr = m_installCondition->Evaluate(&holds);
        if (FAILED(hr)) {
            TraceFormat(FEATURE_SOURCE, L"Failed to evaluate feature condition, error %x", hr);
            return;
        }
        m_actionState = holds ? efasInstall : efasNoAction;
    }
    TraceFormat(FEATURE_SOURCE, L"Initial feature state: %d", m_actionState);

    if (!install.empty() || !remove.empty()) {
        TraceFormat(FEATURE_SOURCE, L"Checking for feature selection from command line");
        if (Contains(install, m_name))
            m_actionState = efasInstall;
        else if (Contains(remove, m_name))
            m_actionState = efasRemove;
        else
            m_actionState = efasNoAction;
    }
    TraceFormat(FEATURE_SOURCE, L"Final feature state: %d", m_actionState);

    if (mode == eimInstall) {
        TraceFormat(FEATURE_SOURCE, L"Skipping feature detect state in first time install");
        return;
    }
    DetectInstalledState();
}

void CFeature::DetectInstalledState()
{
    int present = 0;
    for (const _stringx& entry : m_mappings) {
        const ParcelMapping mapping = SplitParcelMapping(entry);
        CParcel* parcel = FindParcel(mapping.parcelId);
        if (!parcel) {
            TraceFormat(FEATURE_SOURCE, L"Parcel %s mapped to feature %s was not found", mapping.parcelId.c_str(),
                        m_name.c_str());
            return;
        }
        if (IsPresent(*parcel, mapping))
            ++present;
    }
    const int count = static_cast<int>(m_mappings.size());
    TraceFormat(FEATURE_SOURCE, L"Parcel count: %d, detected count: %d", count, present);
    if (present == count)
        m_installedState = efisInstalled;
    else if (present == 0)
        m_installedState = efisAbsent;
    else
        m_installedState = efisPartialInconsistent;
}

// Selection to parcels --------------------------------------------------------

bool CFeature::ChildOverride(EnumInstallMode mode, bool parentOverride) const
{
    if (parentOverride)
        return true;
    switch (mode) {
    case eimInstall:
        return m_actionState == efasNoAction || m_actionState == efasRemove;
    case eimModify:
    case eimRemove:
        return m_actionState == efasRemove;
    case eimRepair:
        return m_actionState == efasInstall;
    default:
        return false;
    }
}

void CFeature::SetParcelStates(int state, bool parentOverride)
{
    const bool follows = FollowsParent();
    TraceFormat(FEATURE_SOURCE,
                L"Feature %s setting parcel states, parent override: %s, override state: %d, follow parent state: %s",
                m_name.c_str(), YesNo(parentOverride), state, YesNo(follows));
    if (parentOverride || follows)
        m_actionState = state;

    const EnumInstallMode mode = InstallMode();
    int configured = 0;
    for (CFeature* child : m_children) {
        child->SetParcelStates(m_actionState, ChildOverride(mode, parentOverride));
        if (mode == eimModify && child->m_actionState != efasNoAction && child->SharesParcelWith(*this))
            ++configured;
    }
    if (configured > 0 && m_actionState == efasNoAction) {
        TraceFormat(FEATURE_SOURCE, L"Feature has %d children that are being configured, set this state to install",
                    configured);
        m_actionState = efasInstall;
    }

    if (IFeatureHost* host = FeatureHost()) {
        const _stringx section = L"Feature_" + m_name;
        _stringx action;
        _stringx detected;
        host->SaveStateValue(section, L"Action", action.format(L"%d", m_actionState));
        host->SaveStateValue(section, L"Detect", detected.format(L"%d", m_installedState));
    }
    RequestParcelStates();
}

void CFeature::RequestParcelStates()
{
    const EnumInstallMode mode = InstallMode();
    for (const _stringx& entry : m_mappings) {
        const ParcelMapping mapping = SplitParcelMapping(entry);
        CParcel* parcel = FindParcel(mapping.parcelId);
        if (!parcel) {
            TraceFormat(FEATURE_SOURCE, L"Parcel %s mapped to feature %s was not found", mapping.parcelId.c_str(),
                        m_name.c_str());
            return;
        }
        TraceFormat(FEATURE_SOURCE, L"Requesting action state %d for parcel '%s'", m_actionState,
                    mapping.parcelId.c_str());
        if (!mapping.hasPackageFeature) {
            parcel->ApplyFeatureRequest(m_actionState);
            continue;
        }
        const wchar_t* list = nullptr;
        if (m_actionState == efasInstall) {
            list = L"KRParcelFeatureInstall";
        } else if (m_actionState == efasRemove) {
            list = L"KRParcelFeatureRemove";
        } else if (mode == eimInstall && parcel->Handler() && parcel->Handler()->GetType() == eptScript) {
            list = L"KRParcelFeatureRemove";
        }
        TraceFormat(FEATURE_SOURCE, L"Requesting state %d for parcel feature '%s'", m_actionState,
                    mapping.packageFeature.c_str());
        if (list)
            parcel->AddFeatureToList(list, mapping.packageFeature);
    }
}

// IFeature --------------------------------------------------------------------

STDMETHODIMP CFeature::get_DisplayName(BSTR* name)
{
    return CopyOut(m_displayName, name);
}

STDMETHODIMP CFeature::get_Description(BSTR* description)
{
    return CopyOut(m_description, description);
}

STDMETHODIMP CFeature::get_Name(BSTR* name)
{
    return CopyOut(m_name, name);
}

STDMETHODIMP CFeature::get_Cost(__int64* cost)
{
    if (!cost)
        return E_POINTER;
    *cost = m_cost;
    return S_OK;
}

STDMETHODIMP CFeature::get_ActionState(EnumFeatureActionState* state)
{
    if (!state)
        return E_POINTER;
    *state = static_cast<EnumFeatureActionState>(m_actionState);
    return S_OK;
}

STDMETHODIMP CFeature::put_ActionState(EnumFeatureActionState state)
{
    if (!m_allowSelectionChange)
        return kNotSupported;
    m_actionState = state;
    return S_OK;
}

STDMETHODIMP CFeature::get_Features(IFeatures** features)
{
    if (!features)
        return E_POINTER;
    *features = nullptr;
    const HRESULT hr = EnsureFeatures();
    if (FAILED(hr))
        return hr;
    return m_features->QueryInterface(IID_IFeatures, reinterpret_cast<void**>(features));
}

STDMETHODIMP CFeature::get_Visible(VARIANT_BOOL* visible)
{
    if (!visible)
        return E_POINTER;
    *visible = m_visible ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CFeature::get_InstalledState(EnumFeatureInstalledState* state)
{
    if (!state)
        return E_POINTER;
    *state = static_cast<EnumFeatureInstalledState>(m_installedState);
    return S_OK;
}

STDMETHODIMP CFeature::get_AllowSelectionChange(VARIANT_BOOL* allow)
{
    if (!allow)
        return E_POINTER;
    *allow = m_allowSelectionChange ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}
