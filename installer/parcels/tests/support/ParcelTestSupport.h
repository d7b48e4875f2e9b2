#pragma once

// Fakes for the parcel tests: engine services that record what a parcel asks
// of the engine, a scripted handler, scripted event actions, and an event sink
// that knows only IDispatch.

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <com/ComPtr.h>

#include "support/ConditionTestSupport.h"
#include "parcels/EngineServices.h"
#include "parcels/EventAction.h"
#include "parcels/Parcel.h"
#include "parcels/ParcelHandler.h"
#include "parcels/ProxyExeCallbackWrapper.h"

namespace parcel_testing {

// Registers itself as the engine's services for its lifetime; records the
// engine's events ("OnInstallingParcel" ...) and state saves in order.
class FakeEngineServices : public IEngineServices, public IPropertyStateWriter {
public:
    FakeEngineServices();
    ~FakeEngineServices();
    FakeEngineServices(const FakeEngineServices&) = delete;
    FakeEngineServices& operator=(const FakeEngineServices&) = delete;

    EnumInstallMode GetInstallMode() override { return mode; }
    bool IsSilent() override { return silent; }
    bool IsElevated() override { return elevated; }
    bool IsAfterReboot() override { return afterReboot; }
    _stringx GetSuiteId() override { return suiteId; }
    _stringx GetProperty(const _stringx& name) override { return properties.GetAttribute(name); }
    kr::stringx_vector GetHiddenPropertyNames() override { return hidden; }
    _stringx GetParcelLogFolder() override { return logFolder; }
    VARIANT_BOOL* CancelCell() override { return &cancelCell; }
    HRESULT Fire_OnInstallingParcel(IParcel* parcel, VARIANT_BOOL* cancel) override;
    HRESULT Fire_OnQueryReboot(IParcel* parcel, VARIANT_BOOL* rebootNow) override;
    HRESULT Fire_OnQueryParcelNotDetected(IParcel* parcel, VARIANT_BOOL* abort) override;
    HRESULT Fire_OnPromptForSourceMedia(IParcel* parcel, BSTR sourceFile, VARIANT_BOOL* cancel,
                                        BSTR* mediaPath) override;
    HRESULT Fire_OnActionEventInfo(BSTR message, int current, int maximum, EnumProgressFlags flags,
                                   VARIANT_BOOL* cancel) override;
    void SetLastRebootAnswer(bool rebootNow) override { lastRebootAnswer = rebootNow ? 1 : 0; }
    void RequestDelayedReboot() override;
    _stringx ResolveStringId(const _stringx& id) override;
    HRESULT RunAction(const _stringx& actionId, IParcel2* parcel) override;
    void AddUpgradingParcel(IParcel* parcel) override { upgradingParcels.push_back(parcel); }
    void GetParcelClients(const _stringx& parcelId, kr::stringx_vector& clients) override;
    HRESULT WriteParcelClients(const _stringx& parcelId, const kr::stringx_vector& clients) override;
    bool AddSuiteToClients(kr::stringx_vector& clients) override;
    bool RemoveSuiteFromClients(kr::stringx_vector& clients) override;
    IPropertyStateWriter& StateWriter() override { return *this; }
    void SaveParcelState(const _stringx& parcelId, int action, int detected, bool complete) override;
    LONG LaunchElevatedExe(const _stringx& program, const _stringx& arguments, const _stringx& verb, int show,
                           bool wait, CProxyExeCallbackWrapper& callbacks) override;

    void SaveProperty(const _stringx& name, const _stringx& value) override;
    void SaveParcelValue(const _stringx& parcelId, const _stringx& name, const _stringx& value) override;

    // The run.
    EnumInstallMode mode = eimInstall;
    bool silent = false;
    bool elevated = true;
    bool afterReboot = false;
    _stringx suiteId = L"{AAAAAAAA-0000-0000-0000-00000000000A}";
    CProperties properties;
    kr::stringx_vector hidden;
    _stringx logFolder;
    VARIANT_BOOL cancelCell = VARIANT_FALSE;

    // Answers of the events and calls.
    HRESULT installingResult = S_OK;
    VARIANT_BOOL installingCancel = VARIANT_FALSE;
    VARIANT_BOOL rebootAnswer = VARIANT_FALSE;
    VARIANT_BOOL notDetectedAnswer = VARIANT_FALSE;
    VARIANT_BOOL eventInfoCancel = VARIANT_FALSE;
    std::map<std::wstring, HRESULT> actionResults; // by action id; S_OK when absent
    std::map<std::wstring, kr::stringx_vector> storedClients; // by parcel id
    HRESULT writeClientsResult = S_OK;
    std::function<LONG(CProxyExeCallbackWrapper&)> elevatedLaunch; // 233 when not set

    // What happened.
    std::vector<std::wstring> events;
    std::vector<std::wstring> saves;
    std::vector<std::wstring> actionsRun;
    std::vector<std::wstring> elevatedLaunches;
    std::vector<IParcel*> upgradingParcels; // not referenced
    int delayedReboots = 0;
    int lastRebootAnswer = -1;

    // The formatted strings of the engine, with their own property store.
    testing_support::FakeEngine setupEngine;
};

// What a scripted handler was asked, shared with the test after the parcel owns it.
struct HandlerRecord {
    int runs = 0;
    int detections = 0;
    COperation* operationAtRun = nullptr;
};

class ScriptedHandler : public CParcelHandler {
public:
    ScriptedHandler(CParcel& parcel, std::shared_ptr<HandlerRecord> record);

    bool SupportsTransaction() override { return false; }
    HRESULT Run() override;
    EnumParcelType GetType() override { return type; }
    bool IsRebootStatus() override { return rebootStatus; }
    HRESULT Detect(EnumParcelInstallState* state, bool shared) override;

    EnumParcelType type = eptExe;
    HRESULT runResult = S_OK;
    HRESULT lastStatusAfterRun = S_OK;
    bool rebootStatus = false;
    // 1: not handled; otherwise the state given.
    HRESULT detectResult = 1;
    EnumParcelInstallState detectedState = episAbsent;
    // The state detection finds after a run, when set.
    int detectedAfterRun = -1;

private:
    std::shared_ptr<HandlerRecord> m_record;
};

class ScriptedEventAction : public IEventAction {
public:
    ScriptedEventAction(const _stringx& actionId, bool entry, const _stringx& displayText = _stringx());

    void SetCondition(std::unique_ptr<CCondition> condition) override { m_condition = std::move(condition); }
    bool EvaluateEntryCondition() override { return m_entry; }
    _stringx GetActionId() const override { return m_actionId; }
    _stringx GetDisplayText() const override { return m_displayText; }

private:
    _stringx m_actionId;
    bool m_entry;
    _stringx m_displayText;
    std::unique_ptr<CCondition> m_condition;
};

// One call a sink received: its dispatch id and its arguments in declaration
// order, each as text ("I4:3", "BSTR:text", "DISPATCH", "BOOL*", "I4*", "VARIANT:...").
struct SinkCall {
    DISPID id;
    std::vector<std::wstring> arguments;
};

// An events sink that implements IDispatch only, as a script host's does. It
// answers out cells of VT_BOOL with `answer`.
class DispatchSink final : public IDispatch {
public:
    explicit DispatchSink(const IID& events) : m_events(events) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_refs); }
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO*, UINT*) override;

    std::vector<SinkCall> calls;
    VARIANT_BOOL answer = VARIANT_FALSE;
    // Out cells of VT_I4 (a chosen action) get this when set.
    bool answerActions = false;
    int action = 0;

private:
    const IID& m_events;
    LONG m_refs = 1;
};

// Connects sink to the parcel's _IParcelEvents; the cookie.
DWORD AdviseParcelEvents(CParcel& parcel, IUnknown* sink);

// A parcel with one reference, a scripted handler and the given id.
com::ComPtr<CParcel> MakeParcel(const _stringx& id, std::shared_ptr<HandlerRecord> record = nullptr,
                                ScriptedHandler** handler = nullptr);

// An operation with a Name and further attributes (name, value, ...).
std::unique_ptr<COperation> MakeOperation(const wchar_t* name,
                                          std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> more = {});

} // namespace parcel_testing
