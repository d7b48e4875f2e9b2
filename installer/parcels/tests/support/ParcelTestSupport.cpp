#include "ParcelTestSupport.h"

#include <algorithm>
#include <string>

namespace parcel_testing {

namespace {

std::wstring Text(BSTR value)
{
    return value ? std::wstring(value, SysStringLen(value)) : std::wstring();
}

std::wstring Describe(const VARIANT& value)
{
    switch (value.vt) {
    case VT_I4:
        return L"I4:" + std::to_wstring(value.lVal);
    case VT_BSTR:
        return L"BSTR:" + Text(value.bstrVal);
    case VT_DISPATCH:
        return L"DISPATCH";
    case VT_BOOL:
        return std::wstring(L"BOOL:") + (value.boolVal ? L"true" : L"false");
    case VT_BOOL | VT_BYREF:
        return L"BOOL*";
    case VT_I4 | VT_BYREF:
        return L"I4*";
    case VT_ARRAY | VT_BSTR: {
        // "ARRAY:<lower bound>:" and the items joined by "|".
        LONG lower = 0;
        LONG upper = -1;
        SafeArrayGetLBound(value.parray, 1, &lower);
        SafeArrayGetUBound(value.parray, 1, &upper);
        std::wstring text = L"ARRAY:" + std::to_wstring(lower) + L":";
        for (LONG i = lower; i <= upper; ++i) {
            BSTR item = nullptr;
            SafeArrayGetElement(value.parray, &i, &item);
            text += (i == lower ? L"" : L"|") + Text(item);
            SysFreeString(item);
        }
        return text;
    }
    default:
        return L"VT:" + std::to_wstring(value.vt);
    }
}

} // namespace

FakeEngineServices::FakeEngineServices()
{
    SetEngineServices(this);
}

FakeEngineServices::~FakeEngineServices()
{
    SetEngineServices(nullptr);
}

HRESULT FakeEngineServices::Fire_OnInstallingParcel(IParcel*, VARIANT_BOOL* cancel)
{
    events.push_back(L"OnInstallingParcel");
    if (cancel)
        *cancel = installingCancel;
    return installingResult;
}

HRESULT FakeEngineServices::Fire_OnQueryReboot(IParcel*, VARIANT_BOOL* rebootNow)
{
    events.push_back(L"OnQueryReboot");
    *rebootNow = rebootAnswer;
    return S_OK;
}

HRESULT FakeEngineServices::Fire_OnQueryParcelNotDetected(IParcel*, VARIANT_BOOL* abort)
{
    events.push_back(L"OnQueryParcelNotDetected");
    *abort = notDetectedAnswer;
    return S_OK;
}

HRESULT FakeEngineServices::Fire_OnPromptForSourceMedia(IParcel*, BSTR sourceFile, VARIANT_BOOL* cancel,
                                                        BSTR* mediaPath)
{
    events.push_back(L"OnPromptForSourceMedia:" + Text(sourceFile));
    *cancel = VARIANT_FALSE;
    *mediaPath = SysAllocString(L"D:\\media");
    return S_OK;
}

HRESULT FakeEngineServices::Fire_OnActionEventInfo(BSTR message, int, int, EnumProgressFlags flags,
                                                   VARIANT_BOOL* cancel)
{
    events.push_back(L"OnActionEventInfo:" + Text(message) + L":" + std::to_wstring(flags));
    *cancel = eventInfoCancel;
    return S_OK;
}

void FakeEngineServices::RequestDelayedReboot()
{
    ++delayedReboots;
}

_stringx FakeEngineServices::ResolveStringId(const _stringx& id)
{
    return id == L"IDS_CONFIGURING" ? _stringx(L"Configuring [ProductName]") : id;
}

HRESULT FakeEngineServices::RunAction(const _stringx& actionId, IParcel2*)
{
    actionsRun.push_back(actionId.c_str());
    const auto found = actionResults.find(actionId.c_str());
    return found == actionResults.end() ? S_OK : found->second;
}

void FakeEngineServices::GetParcelClients(const _stringx& parcelId, kr::stringx_vector& clients)
{
    const auto found = storedClients.find(parcelId.c_str());
    if (found != storedClients.end())
        clients.insert(clients.end(), found->second.begin(), found->second.end());
}

HRESULT FakeEngineServices::WriteParcelClients(const _stringx& parcelId, const kr::stringx_vector& clients)
{
    if (SUCCEEDED(writeClientsResult))
        storedClients[parcelId.c_str()] = clients;
    return writeClientsResult;
}

bool FakeEngineServices::AddSuiteToClients(kr::stringx_vector& clients)
{
    if (std::find(clients.begin(), clients.end(), suiteId) != clients.end())
        return true;
    clients.push_back(suiteId);
    return false;
}

bool FakeEngineServices::RemoveSuiteFromClients(kr::stringx_vector& clients)
{
    const auto found = std::find(clients.begin(), clients.end(), suiteId);
    if (found == clients.end())
        return true;
    clients.erase(found);
    return false;
}

void FakeEngineServices::SaveParcelState(const _stringx& parcelId, int action, int detected, bool complete)
{
    saves.push_back(L"Parcel_" + std::wstring(parcelId.c_str()) + L" Action=" + std::to_wstring(action) +
                    L" Detect=" + std::to_wstring(detected) + L" Complete=" + (complete ? L"true" : L"false"));
}

LONG FakeEngineServices::LaunchElevatedExe(const _stringx& program, const _stringx& arguments, const _stringx& verb,
                                           int show, bool wait, CProxyExeCallbackWrapper& callbacks)
{
    elevatedLaunches.push_back(std::wstring(program.c_str()) + L"|" + arguments.c_str() + L"|" + verb.c_str() + L"|" +
                               std::to_wstring(show) + L"|" + (wait ? L"wait" : L"nowait"));
    return elevatedLaunch ? elevatedLaunch(callbacks) : 233;
}

void FakeEngineServices::SaveProperty(const _stringx& name, const _stringx& value)
{
    saves.push_back(L"Properties " + std::wstring(name.c_str()) + L"=" + value.c_str());
}

void FakeEngineServices::SaveParcelValue(const _stringx& parcelId, const _stringx& name, const _stringx& value)
{
    saves.push_back(L"Parcel_" + std::wstring(parcelId.c_str()) + L" " + name.c_str() + L"=" + value.c_str());
}

ScriptedHandler::ScriptedHandler(CParcel& parcel, std::shared_ptr<HandlerRecord> record)
    : CParcelHandler(parcel), m_record(record ? std::move(record) : std::make_shared<HandlerRecord>())
{
}

HRESULT ScriptedHandler::Run()
{
    ++m_record->runs;
    m_record->operationAtRun = GetOperation();
    m_lastStatus = lastStatusAfterRun;
    if (detectedAfterRun >= 0)
        detectedState = static_cast<EnumParcelInstallState>(detectedAfterRun);
    return runResult;
}

HRESULT ScriptedHandler::Detect(EnumParcelInstallState* state, bool)
{
    ++m_record->detections;
    if (detectResult == S_OK)
        *state = detectedState;
    return detectResult;
}

ScriptedEventAction::ScriptedEventAction(const _stringx& actionId, bool entry, const _stringx& displayText)
    : m_actionId(actionId), m_entry(entry), m_displayText(displayText)
{
}

STDMETHODIMP DispatchSink::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, m_events)) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) DispatchSink::Release()
{
    const LONG left = InterlockedDecrement(&m_refs);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

STDMETHODIMP DispatchSink::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP DispatchSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*)
{
    SinkCall call{id, {}};
    // Automation passes the arguments last first.
    for (UINT i = params->cArgs; i > 0; --i) {
        VARIANT& argument = params->rgvarg[i - 1];
        call.arguments.push_back(Describe(argument));
        if (argument.vt == (VT_BOOL | VT_BYREF) && argument.pboolVal)
            *argument.pboolVal = answer;
        if (answerActions && argument.vt == (VT_I4 | VT_BYREF) && argument.plVal)
            *argument.plVal = action;
    }
    calls.push_back(std::move(call));
    return S_OK;
}

DWORD AdviseParcelEvents(CParcel& parcel, IUnknown* sink)
{
    com::ComPtr<IConnectionPointContainer> container;
    com::ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    if (SUCCEEDED(parcel.QueryInterface(IID_IConnectionPointContainer, container.PutVoid())) &&
        SUCCEEDED(container->FindConnectionPoint(IID__IParcelEvents, point.Put())))
        point->Advise(sink, &cookie);
    return cookie;
}

com::ComPtr<CParcel> MakeParcel(const _stringx& id, std::shared_ptr<HandlerRecord> record, ScriptedHandler** handler)
{
    CParcel* made = nullptr;
    if (FAILED(CParcel::CreateInstance(&made)))
        return nullptr;
    auto parcel = com::ComPtr<CParcel>::Adopt(made);
    parcel->SetAttribute(L"Id", id);
    auto scripted = std::make_unique<ScriptedHandler>(*parcel.Get(), std::move(record));
    if (handler)
        *handler = scripted.get();
    parcel->SetHandler(std::move(scripted));
    return parcel;
}

std::unique_ptr<COperation> MakeOperation(const wchar_t* name,
                                          std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> more)
{
    auto operation = std::make_unique<COperation>();
    if (name)
        operation->SetAttribute(L"Name", name);
    for (const auto& [attribute, value] : more)
        operation->SetAttribute(attribute, value);
    return operation;
}

} // namespace parcel_testing
