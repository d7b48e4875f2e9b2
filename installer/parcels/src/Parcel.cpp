#include "parcels/Parcel.h"

#include <algorithm>

#include <com/Bstr.h>

#include "automation/TypeLibrary.h"
#include "conditions/FormattedString.h"
#include "conditions/SetupEngine.h"
#include "kr/bootstrap_exception.h"
#include "kr/holders.h"
#include "kr/reboot_exception.h"
#include "kr/trace_log.h"
#include "parcels/EngineServices.h"
#include "parcels/ParcelRoutines.h"
#include "staging/Package.h"

#define PARCEL_SOURCE TraceSource{L"Parcel", __LINE__}

const wchar_t kPlaceholderClient[] = L"{00000000-0000-0000-0000-000000000000}";

namespace {

// HRESULTs of ERROR_INSTALL_USEREXIT, ERROR_SUCCESS_REBOOT_REQUIRED and ERROR_NOT_SUPPORTED.
constexpr HRESULT kUserExit = static_cast<HRESULT>(0x80070642);
constexpr HRESULT kRebootRequired = static_cast<HRESULT>(0x80070BC2);
constexpr HRESULT kNotSupported = static_cast<HRESULT>(0x80070032);
constexpr int kFeatureNoAction = 0;
constexpr int kFeatureInstall = 1;
constexpr int kFeatureRemove = 2;

struct NamedValue {
    const wchar_t* name;
    int value;
};

constexpr NamedValue kUITypes[] = {
    {L"Ignore", eputIgnore},        {L"Hide", eputHide},
    {L"KRBB", eputCaptureKRBB},     {L"Full", eputCaptureFull},
    {L"FullVerbose", eputCaptureFullVerbose},
};

constexpr NamedValue kUpgradeTypes[] = {
    {L"NoUpgrade", 0},
    {L"Auto", 1},
    {L"Prompt", 2},
};

IEngineServices& Engine()
{
    return *EngineServices();
}

const wchar_t* TrueFalse(bool value)
{
    return value ? L"true" : L"false";
}

bool IsModifyRemoveOrRepair(int mode)
{
    return mode == eimModify || mode == eimRemove || mode == eimRepair;
}

bool IsChangeKind(int kind)
{
    return kind == episModify || kind == episRepair || kind == episRemove;
}

// The operation kind an install mode asks for of a parcel that is present.
int KindForMode(int mode)
{
    return WantedOperationKind(static_cast<EnumInstallMode>(mode));
}

bool Holds(const std::vector<int>& states, int state)
{
    return std::find(states.begin(), states.end(), state) != states.end();
}

bool AllRemove(const std::vector<int>& states)
{
    return std::all_of(states.begin(), states.end(), [](int state) { return state == episRemove; });
}

HRESULT CopyOut(const _stringx& text, BSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.length()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

} // namespace

CParcel::CParcel() : com::DispatchImpl<IParcel2>(TessarelTypeInfo<&IID_IParcel2>()), m_events(*this)
{
    AddConnectionPoint(m_events.Point());
}

CParcel::~CParcel()
{
    // The handler refers to the parcel: it goes first.
    m_handler.reset();
    m_clients.clear();
}

HRESULT CParcel::CreateInstance(CParcel** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    com::ComPtr<com::Object<CParcel>> parcel;
    const HRESULT hr = com::MakeObject(parcel);
    if (FAILED(hr))
        return hr;
    *out = parcel.Detach();
    return S_OK;
}

std::span<const com::InterfaceEntry> CParcel::InterfaceTable() noexcept
{
    static const com::InterfaceEntry table[] = {
        com::InterfaceOf<CParcel, IParcel2>(IID_IParcel2),
        com::InterfaceOf<CParcel, IParcel>(IID_IParcel),
        com::InterfaceOf<CParcel, IDispatch>(IID_IDispatch),
        com::InterfaceOf<CParcel, IConnectionPointContainer>(IID_IConnectionPointContainer),
    };
    return table;
}

// Setup ---------------------------------------------------------------------

void CParcel::SetAttribute(const _stringx& name, const _stringx& value)
{
    if (name == L"ProgressCapture") {
        int type = eputIgnore;
        for (const NamedValue& entry : kUITypes) {
            if (value == entry.name)
                type = entry.value;
        }
        m_uiType = static_cast<EnumParcelUIType>(type);
    } else if (name == L"Id") {
        m_id = value;
    } else if (name == L"UpgradeType") {
        for (const NamedValue& entry : kUpgradeTypes) {
            if (value == entry.name)
                m_upgradeType = entry.value;
        }
    } else if (name == L"WindowsFeatures") {
        m_windowsFeatures = _wstringx(value);
    } else if (name == L"Shared") {
        m_shared = value == L"yes";
    } else {
        CProperties::SetAttribute(name, value);
    }
}

void CParcel::SetHandler(std::unique_ptr<CParcelHandler> handler)
{
    m_handler = std::move(handler);
}

COperation* CParcel::AddOperation(std::unique_ptr<COperation> operation)
{
    if (!operation)
        return nullptr;
    m_operations.push_back(std::move(operation));
    return m_operations.back().get();
}

CParcelLoggingParameters& CParcel::EnableLogging()
{
    const EnumParcelType type = m_handler ? m_handler->GetType() : eptExe;
    m_logging = std::make_unique<CParcelLoggingParameters>(type != eptMsi && type != eptMsp);
    return *m_logging;
}

void CParcel::SetCondition(std::unique_ptr<CCondition> condition)
{
    std::unique_ptr<CCondition>* slot = nullptr;
    if (m_conditionSlot == L"detect") {
        slot = &m_detectCondition;
        if (m_handler)
            m_handler->ClearOwnDetection();
    } else if (m_conditionSlot == L"eligible") {
        slot = &m_eligibleCondition;
    } else {
        return;
    }
    // Handing back the tree already held must not destroy it.
    if (condition && condition.get() == slot->get()) {
        (void)condition.release();
        return;
    }
    *slot = std::move(condition);
}

IEventAction* CParcel::AddEventAction(int eventType, const _stringx& actionId)
{
    if (eventType != kOnParcelConfiguring && eventType != kOnParcelConfigured)
        return nullptr;
    return AddEventAction(eventType, MakeEventAction(actionId));
}

IEventAction* CParcel::AddEventAction(int eventType, std::unique_ptr<IEventAction> action)
{
    if (!action || (eventType != kOnParcelConfiguring && eventType != kOnParcelConfigured))
        return nullptr;
    auto& list = m_eventActions[eventType];
    list.push_back(std::move(action));
    return list.back().get();
}

void CParcel::LoadStateValue(const CStateEntry& entry)
{
    const _stringx name = entry.GetName();
    if (name == L"Detect")
        m_detected = entry.GetInt();
    else if (name == L"Action")
        m_actionState = entry.GetInt();
    else if (name == L"Complete")
        m_complete = entry.GetBool();
    else if (name == L"PackagePath")
        m_packagePath = entry.GetString();
    else if (name == L"RanDetection")
        m_ranDetection = entry.GetBool();
    else
        SetAttribute(name, entry.GetString());
}

// Conditions and detection --------------------------------------------------

void CParcel::EvaluateEligible(HRESULT* failure)
{
    if (!m_eligibleCondition)
        return;
    bool eligible = false;
    const HRESULT hr = m_eligibleCondition->Evaluate(&eligible);
    if (SUCCEEDED(hr))
        m_eligible = eligible;
    if (failure)
        *failure = FAILED(hr) ? hr : S_OK;
}

HRESULT CParcel::Detect()
{
    if (m_handler) {
        EnumParcelInstallState state = static_cast<EnumParcelInstallState>(m_detected);
        const HRESULT hr = m_handler->Detect(&state, m_shared);
        m_detected = state;
        if (hr >= 0 && hr != 1)
            return S_OK;
    }
    if (!m_detectCondition)
        return S_OK;
    bool installed = false;
    const HRESULT hr = m_detectCondition->Evaluate(&installed);
    if (SUCCEEDED(hr)) {
        m_detected = installed ? episInstalled : episAbsent;
        return S_OK;
    }
    TraceFormat(PARCEL_SOURCE, L"Parcel: failed to run detect condition for parcel '%s', error 0x%08x, assuming parcel is absent",
                m_id.c_str(), hr);
    m_detected = episAbsent;
    return hr;
}

// State decisions -----------------------------------------------------------

HRESULT CParcel::Evaluate(EnumInstallMode mode)
{
    if (mode == eimAdmin)
        m_actionState = episInstalled;
    if (m_operations.empty()) {
        TraceFormat(PARCEL_SOURCE, L"Parcel %s contains no operations, parcel will not run", m_id.c_str());
        return S_OK;
    }
    HRESULT hr = S_OK;
    EvaluateEligible(&hr);
    if (FAILED(hr)) {
        TraceFormat(PARCEL_SOURCE, L"Failed to evaluate eligible condition for parcel %s, error %x", m_id.c_str(), hr);
        return hr;
    }
    hr = Detect();
    if (FAILED(hr)) {
        TraceFormat(PARCEL_SOURCE, L"Failed to evaluate detect condition for parcel %s, error %x", m_id.c_str(), hr);
        return hr;
    }
    if (m_shared) {
        ReloadClients();
        if (m_detected == episInstalled)
            m_installedBefore = true;
    }
    if (mode == eimUIMaintSelection)
        return S_OK;

    TraceFormat(PARCEL_SOURCE, L"Evaluating operations for parcel %s, parcel is eligible: %s, detected state: %d",
                m_id.c_str(), TrueFalse(m_eligible), m_detected);
    const bool blocked = !m_eligible || (m_detected == episInstalled && mode == eimInstall) ||
                         (m_detected == episAbsent && IsModifyRemoveOrRepair(mode));
    if (!blocked) {
        const int wanted = WantedOperationKind(mode);
        for (const auto& operation : m_operations) {
            if (operation->GetKind() == wanted) {
                m_chosen = operation.get();
                m_actionState = wanted;
                break;
            }
        }
    }
    TraceFormat(PARCEL_SOURCE, L"Final action state for parcel: %d", m_actionState);
    return S_OK;
}

HRESULT CParcel::ApplyFeatureRequest(int request)
{
    TraceFormat(PARCEL_SOURCE, L"Containing feature is request state change to parcel %s, feature request: %d",
                m_id.c_str(), request);
    const int mode = Engine().GetInstallMode();
    EvaluateEligible(nullptr);
    (void)Detect();

    int wanted = mode;
    if (request == kFeatureInstall)
        wanted = m_detected == episAbsent ? episInstalled : KindForMode(mode);
    else if (request == kFeatureRemove)
        wanted = episRemove;
    else if (request == kFeatureNoAction)
        wanted = episNoAction;

    const bool cannot = !m_eligible || (mode == eimInstall && wanted == episInstalled && m_detected == episInstalled) ||
                        (IsChangeKind(wanted) && m_detected == episAbsent && IsModifyRemoveOrRepair(mode));
    if (cannot) {
        if (m_shared && m_eligible && m_installedBefore && wanted == episInstalled) {
            if (m_clients.empty()) {
                m_clients.push_back(_stringx(kPlaceholderClient));
                TraceFormat(PARCEL_SOURCE,
                            L"Parcel: parcel '%s' was already installed prior to this suite with no existing clients, "
                            L"disabling installation and adding existing client placeholder",
                            m_id.c_str());
            } else {
                TraceFormat(PARCEL_SOURCE,
                            L"Parcel: parcel '%s' was already installed prior to this suite, disabling installation "
                            L"and adding this suite as a client",
                            m_id.c_str());
            }
            Engine().AddSuiteToClients(m_clients);
        }
        TraceFormat(PARCEL_SOURCE,
                    L"Parcel is ineligible or the current parcel state and install mode to not allow parcel configuration");
        m_actionState = episNoAction;
        if (request == kFeatureNoAction)
            m_requested.push_back(episNoAction);
        return S_OK;
    }
    if (wanted == episNoAction) {
        m_actionState = episNoAction;
        m_requested.push_back(episNoAction);
        return S_OK;
    }
    for (const auto& operation : m_operations) {
        if (operation->GetKind() == wanted) {
            m_chosen = operation.get();
            m_actionState = wanted;
            m_requested.push_back(wanted);
        }
    }
    TraceFormat(PARCEL_SOURCE, L"Preliminary parcel action state: %d", m_actionState);
    return S_OK;
}

HRESULT CParcel::FinalizeActionState()
{
    IEngineServices& engine = Engine();
    const int mode = engine.GetInstallMode();
    const std::vector<int>& requested = m_requested;
    int decided = episNoAction;
    switch (mode) {
    case eimInstall:
    case eimAdmin:
        decided = Holds(requested, episInstalled) ? episInstalled : episNoAction;
        break;
    case eimUIMaintSelection:
    case eimModify: {
        const int wanted = m_detected != episAbsent ? episModify : episInstalled;
        // A modify run in which no feature asked about the parcel leaves it
        // alone: it must not drop this suite from a shared parcel's clients.
        if (Holds(requested, wanted))
            decided = wanted;
        else if (!requested.empty() && AllRemove(requested))
            decided = episRemove;
        break;
    }
    case eimRemove:
        decided = AllRemove(requested) ? episRemove : episNoAction;
        break;
    case eimRepair:
        decided = Holds(requested, episRepair) ? episRepair : episNoAction;
        break;
    default:
        break;
    }

    bool settled = false;
    if (m_shared) {
        switch (decided) {
        case episInstalled:
        case episModify:
            engine.AddSuiteToClients(m_clients);
            break;
        case episRepair: {
            const _stringx suite = engine.GetSuiteId();
            if (std::find(m_clients.begin(), m_clients.end(), suite) == m_clients.end()) {
                TraceFormat(PARCEL_SOURCE, L"Parcel: disabling repair of parcel '%s' as this suite is not a client",
                            m_id.c_str());
                settled = true;
            } else {
                engine.AddSuiteToClients(m_clients);
            }
            break;
        }
        case episRemove:
            engine.RemoveSuiteFromClients(m_clients);
            if (!m_clients.empty()) {
                TraceFormat(PARCEL_SOURCE, L"Parcel: disabling remove of parcel '%s' due to share count of %d",
                            m_id.c_str(), static_cast<int>(m_clients.size()));
                settled = true;
            }
            break;
        default:
            break;
        }
    }
    if (settled || decided == episNoAction || requested.empty()) {
        m_chosen = nullptr;
        m_actionState = episNoAction;
    } else {
        for (const auto& operation : m_operations) {
            if (operation->GetKind() == decided) {
                m_chosen = operation.get();
                m_actionState = decided;
            }
        }
    }

    TraceFormat(PARCEL_SOURCE, L"Final action state for parcel %s: %d", m_id.c_str(), m_actionState);
    engine.SaveParcelState(m_id, m_actionState, m_detected, false);
    SaveParcelValue(L"PackagePath", m_packagePath);
    SaveToParcelState(engine.StateWriter(), m_id);
    return S_OK;
}

// Run -------------------------------------------------------------------------

HRESULT CParcel::Run()
{
    IEngineServices& engine = Engine();
    TraceFormat(PARCEL_SOURCE, L"Running parcel operation for parcel %s", m_id.c_str());
    if (engine.IsAfterReboot() && m_complete && !m_ranDetection) {
        TraceFormat(PARCEL_SOURCE, L"Setup running after reboot, parcel operation already ran");
        return Redetect(S_OK);
    }

    VARIANT_BOOL* cancel = engine.CancelCell();
    const HRESULT fired = engine.Fire_OnInstallingParcel(Self(), cancel);
    if (FAILED(fired))
        return fired;
    if (cancel && *cancel == VARIANT_TRUE)
        return kUserExit;
    if (fired != S_OK)
        return fired;

    SaveToParcelState(engine.StateWriter(), m_id);

    HRESULT hr = RunEvents(kOnParcelConfiguring);
    if (FAILED(hr))
        throw parcel_event_failure_exception(hr);

    HRESULT status = E_UNEXPECTED;
    if (m_handler) {
        m_handler->SetOperation(m_chosen);
        status = m_handler->Run();
    }
    TraceFormat(PARCEL_SOURCE, L"Parcel operation return status: %x", status);

    m_complete = true;
    engine.SaveParcelState(m_id, m_actionState, m_detected, true);

    hr = RunEvents(kOnParcelConfigured);
    if (FAILED(hr))
        throw parcel_event_failure_exception(hr);

    if (status == E_ABORT || (status & 0xFFFF) == ERROR_INSTALL_USEREXIT)
        return Redetect(status);
    return ApplyRebootRequest(status);
}

HRESULT CParcel::ApplyRebootRequest(HRESULT status)
{
    const int request = m_chosen ? m_chosen->GetRebootRequest() : orrDetectExit;
    if (m_handler && m_handler->IsRebootStatus()) {
        TraceFormat(PARCEL_SOURCE, L"Parcel status appears to indicate a reboot is necessary");
        switch (request) {
        case orrDetectExit:
            throw reboot_exception(false);
        case orrDetectReboot:
        case orrAlwaysPrompt:
            throw reboot_exception(QueryRebootNow(Self()));
        case orrDetectIgnore:
            return Redetect(S_OK);
        case orrAlwaysSilent:
            throw reboot_exception(true);
        case orrDetectDelay:
            Engine().RequestDelayedReboot();
            return Redetect(S_OK);
        default:
            return Redetect(status);
        }
    }
    if (request & (orrAlwaysPrompt | orrAlwaysSilent))
        throw reboot_exception(QueryRebootNow(Self()));
    return Redetect(status);
}

HRESULT CParcel::Redetect(HRESULT status)
{
    (void)Detect();
    TraceFormat(PARCEL_SOURCE, L"Re-running parcel detection for parcel %s, install state: %d", m_id.c_str(),
                m_detected);
    const bool noEffect = (m_detected == episAbsent && m_actionState == episInstalled) ||
                          (m_detected == episInstalled && m_actionState == episRemove);
    if (m_chosen && noEffect) {
        switch (m_chosen->GetExitBehavior()) {
        case oebDetectPrompt: {
            VARIANT_BOOL abort = VARIANT_FALSE;
            Engine().Fire_OnQueryParcelNotDetected(Self(), &abort);
            if (abort != VARIANT_FALSE && status >= 0)
                status = E_ABORT;
            break;
        }
        case oebDetectAbort:
            if (status >= 0)
                status = E_ABORT;
            break;
        default:
            break;
        }
    }
    SaveParcelValue(L"RanDetection", L"true");
    m_ranDetection = true;
    return status;
}

HRESULT CParcel::RunEvents(int eventType)
{
    const auto found = m_eventActions.find(eventType);
    if (found == m_eventActions.end() || found->second.empty())
        return S_FALSE;
    IEngineServices& engine = Engine();
    HRESULT result = S_OK;
    for (const auto& action : found->second) {
        if (!action->EvaluateEntryCondition()) {
            TraceFormat(PARCEL_SOURCE, L"Skipping parcel event '%s' since condition is false",
                        action->GetActionId().c_str());
            continue;
        }
        _stringx text = engine.ResolveStringId(action->GetDisplayText());
        if (ISetupEngine* setup = SetupEngine())
            text = setup->FormatString(text);
        if (!text.empty()) {
            VARIANT_BOOL cancel = VARIANT_FALSE;
            kr::bstr_holder message(SysAllocStringLen(text.c_str(), static_cast<UINT>(text.length())));
            engine.Fire_OnActionEventInfo(message.get(), 0, 0, epfMessageValid, &cancel);
            if (cancel == VARIANT_TRUE)
                return kUserExit;
        }
        const HRESULT hr = engine.RunAction(action->GetActionId(), Self());
        if (hr == kRebootRequired) {
            // Deferred to the end of the suite: the event itself succeeded.
            engine.RequestDelayedReboot();
            result = S_OK;
            continue;
        }
        if (FAILED(hr))
            return hr;
        result = hr;
    }
    return result;
}

// Services for the engine, the features and the handlers ---------------------

_stringx CParcel::FormatString(const _stringx& text) const
{
    // The parcel's own attributes win over engine properties of the same name.
    const _stringx own = FormatPropertyStringKeepUnresolved(text, this);
    ISetupEngine* setup = SetupEngine();
    return setup ? setup->FormatString(own) : own;
}

_stringx CParcel::GetOperationTarget() const
{
    return m_chosen ? m_chosen->GetTarget() : _stringx();
}

bool CParcel::IsElevationRequired() const
{
    return GetAttributeNoCase(L"Elevation") == L"required";
}

HRESULT CParcel::AddFeatureToList(const _stringx& attribute, const _stringx& feature)
{
    _stringx list = GetAttributeNoCase(attribute);
    if (list.empty()) {
        list = feature;
    } else {
        kr::stringx_vector pieces;
        list.split(L',', kr::split_skip_empty, pieces);
        if (std::find(pieces.begin(), pieces.end(), feature) == pieces.end())
            list = list + L"," + feature;
    }
    TraceFormat(PARCEL_SOURCE, L"%s feature to selection list (%s), feature: %s", L"Adding", attribute.c_str(),
                feature.c_str());
    SetAttribute(attribute, list);
    return S_OK;
}

void CParcel::ReloadClients()
{
    m_clients.clear();
    Engine().GetParcelClients(m_id, m_clients);
}

bool CParcel::IsSuiteClient() const
{
    IEngineServices& engine = Engine();
    kr::stringx_vector stored;
    engine.GetParcelClients(m_id, stored);
    return std::find(stored.begin(), stored.end(), engine.GetSuiteId()) != stored.end();
}

void CParcel::WriteClients()
{
    if (!m_shared)
        return;
    const HRESULT hr = Engine().WriteParcelClients(m_id, m_clients);
    if (FAILED(hr))
        TraceFormat(PARCEL_SOURCE, L"Parcel: error 0x%08x when attempting to write shared client data", hr);
}

void CParcel::SaveParcelValue(const _stringx& name, const _stringx& value)
{
    Engine().StateWriter().SaveParcelValue(m_id, name, value);
}

HRESULT CParcel::Fire_OnParcelEvent(EnumParcelProgressState state)
{
    VARIANT_BOOL cancel = VARIANT_FALSE;
    return m_events.Fire_OnParcelEvent(state, Self(), &cancel);
}

HRESULT CParcel::Fire_OnParcelProgress(const _stringx& message, int current, int maximum, EnumProgressFlags flags,
                                       VARIANT_BOOL* cancel)
{
    // A sink may write its answer: without a caller's cell it goes to a local one.
    VARIANT_BOOL ignored = VARIANT_FALSE;
    kr::bstr_holder text(SysAllocStringLen(message.c_str(), static_cast<UINT>(message.length())));
    return m_events.Fire_OnParcelProgress(text.get(), current, maximum, flags, cancel ? cancel : &ignored);
}

// IParcel ---------------------------------------------------------------------

STDMETHODIMP CParcel::get_Name(BSTR* name)
{
    return CopyOut(GetAttributeNoCase(L"DisplayName"), name);
}

STDMETHODIMP CParcel::get_Description(BSTR* description)
{
    return CopyOut(GetAttributeNoCase(L"Description"), description);
}

STDMETHODIMP CParcel::get_ID(BSTR* id)
{
    return CopyOut(m_id, id);
}

STDMETHODIMP CParcel::get_Eligible(VARIANT_BOOL* eligible)
{
    if (!eligible)
        return E_POINTER;
    HRESULT hr = S_OK;
    EvaluateEligible(&hr);
    if (FAILED(hr))
        return hr;
    *eligible = m_eligible ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CParcel::get_Required(VARIANT_BOOL* required)
{
    if (!required)
        return E_POINTER;
    *required = GetAttributeNoCase(L"IsRequired") == L"true" ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CParcel::get_ActionState(EnumParcelInstallState* state)
{
    if (!state)
        return E_POINTER;
    *state = static_cast<EnumParcelInstallState>(m_actionState);
    return S_OK;
}

STDMETHODIMP CParcel::put_ActionState(EnumParcelInstallState requested)
{
    const int wanted = requested;
    const int current = m_chosen ? m_chosen->GetKind() : episNoAction;
    TraceFormat(PARCEL_SOURCE,
                L"Requested parcel action state change for parcel %s, current state %d, requested state: %d",
                m_id.c_str(), current, wanted);
    EvaluateEligible(nullptr);
    (void)Detect();
    if (wanted == current)
        return S_FALSE;

    if (wanted != episNoAction) {
        if (!m_eligible) {
            TraceFormat(PARCEL_SOURCE, L"Parcel is not eligible, no change in state allowed");
            return E_INVALIDARG;
        }
        COperation* found = nullptr;
        for (const auto& operation : m_operations) {
            const int kind = operation->GetKind();
            const bool allowed = m_detected == episAbsent      ? wanted == episInstalled
                                 : m_detected == episInstalled ? wanted != episInstalled
                                                               : true;
            if (kind == wanted && allowed) {
                found = operation.get();
                break;
            }
        }
        if (!found) {
            TraceFormat(PARCEL_SOURCE, L"No operation available for requested state");
            return kNotSupported;
        }
        m_chosen = found;
    } else {
        m_chosen = nullptr;
    }
    m_actionState = wanted;
    TraceFormat(PARCEL_SOURCE, L"Final parcel action state: %d", m_actionState);
    return S_OK;
}

STDMETHODIMP CParcel::get_DetectedState(EnumParcelInstallState* state)
{
    if (!state)
        return E_POINTER;
    const HRESULT hr = Detect();
    if (FAILED(hr))
        return hr;
    *state = static_cast<EnumParcelInstallState>(m_detected);
    return S_OK;
}

STDMETHODIMP CParcel::get_ExitCode(int* exitCode)
{
    if (!exitCode)
        return E_POINTER;
    *exitCode = m_handler ? static_cast<int>(m_handler->GetLastStatus()) : 0;
    return S_OK;
}

STDMETHODIMP CParcel::get_Type(EnumParcelType* type)
{
    if (!type)
        return E_POINTER;
    if (!m_handler)
        return E_UNEXPECTED;
    *type = m_handler->GetType();
    return S_OK;
}

STDMETHODIMP CParcel::get_UIType(EnumParcelUIType* type)
{
    if (!type)
        return E_POINTER;
    *type = m_uiType;
    return S_OK;
}

STDMETHODIMP CParcel::SendOnParcelProgress(BSTR message, int current, int maximum, EnumProgressFlags flags,
                                           VARIANT_BOOL* cancel)
{
    if (!cancel)
        return E_POINTER;
    return m_events.Fire_OnParcelProgress(message, current, maximum, flags, cancel);
}

STDMETHODIMP CParcel::SendOnNextDisk(BSTR sourceFile, VARIANT_BOOL* cancel, BSTR* mediaPath)
{
    if (!cancel || !mediaPath)
        return E_POINTER;
    *mediaPath = nullptr;
    com::Bstr media;
    const HRESULT hr = Engine().Fire_OnPromptForSourceMedia(Self(), sourceFile, cancel, media.Put());
    if (FAILED(hr))
        return hr;
    *mediaPath = media.Detach();
    return hr;
}

STDMETHODIMP CParcel::SendOnError(BSTR message, int errorFlags, int* action)
{
    if (!action)
        return E_POINTER;
    return m_events.Fire_OnFileError(Self(), message, errorFlags, action);
}
