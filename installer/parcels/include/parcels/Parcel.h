#pragma once

// One installable package of the suite, for the whole run: its attributes,
// operations, conditions, events and handler. It chooses the operation this
// run performs (its action state) from the install mode, the requests of its
// features and the clients of a shared parcel, runs it through its handler,
// turns the result into reboot requests or aborts, detects its state again
// and saves what it did. It is also the automation object Parcel.

#include <map>
#include <memory>
#include <vector>

#include <com/ConnectionPoint.h>
#include <com/Dispatch.h>
#include <com/Object.h>

#include "automation/Interfaces.h"
#include "conditions/Condition.h"
#include "conditions/ConditionContainer.h"
#include "kr/stringx.h"
#include "parcels/EventAction.h"
#include "parcels/Operation.h"
#include "parcels/ParcelEvents.h"
#include "parcels/ParcelHandler.h"
#include "parcels/ParcelLoggingParameters.h"
#include "parcels/StateObject.h"
#include "properties/Properties.h"

class CPackage;

// The client that stands for a suite-less user of a shared parcel.
extern const wchar_t kPlaceholderClient[];

class CParcel : public CProperties,
                public com::ObjectRoot,
                public com::ConnectionPointContainer,
                public com::DispatchImpl<IParcel2>,
                public IConditionContainer,
                public IStateObject,
                public IEventContainer {
public:
    // A new parcel with one reference, without a handler yet.
    static HRESULT CreateInstance(CParcel** out);

    static std::span<const com::InterfaceEntry> InterfaceTable() noexcept;

    // One IUnknown for both of its interface branches (supplied by com::Object).
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override = 0;
    STDMETHODIMP_(ULONG) AddRef() override = 0;
    STDMETHODIMP_(ULONG) Release() override = 0;

    // Setup, by the setup.xml reader and the state reload.
    void SetAttribute(const _stringx& name, const _stringx& value) override;
    // A previous handler is destroyed.
    void SetHandler(std::unique_ptr<CParcelHandler> handler);
    CParcelHandler* Handler() const noexcept { return m_handler.get(); }
    // Appends in document order; returns the operation now owned.
    COperation* AddOperation(std::unique_ptr<COperation> operation);
    // New logging parameters for the parcel's handler type, replacing earlier ones.
    CParcelLoggingParameters& EnableLogging();
    CParcelLoggingParameters* LoggingParameters() const noexcept { return m_logging.get(); }
    // The name of the condition element being read ("Detect" or "Eligible").
    void SetConditionSlot(const _stringx& slot) { m_conditionSlot = slot; }
    void SetCondition(std::unique_ptr<CCondition> condition) override;
    IEventAction* AddEventAction(int eventType, const _stringx& actionId) override;
    // Keeps an event action made elsewhere; none for a type the parcel does not keep.
    IEventAction* AddEventAction(int eventType, std::unique_ptr<IEventAction> action);
    void LoadStateValue(const CStateEntry& entry) override;
    // The files the parcel needs, staged before it runs; replaces an earlier package.
    CPackage& SetPackage(std::unique_ptr<CPackage> package);
    CPackage* Package() const noexcept { return m_package.get(); }

    // State decisions and run.
    HRESULT Evaluate(EnumInstallMode mode);
    HRESULT ApplyFeatureRequest(int request);
    HRESULT FinalizeActionState();
    // Gathers the package into its stage folder (packageName, else the
    // package's own Name, else the engine's staging folder); only its path
    // unless the parcel installs. S_FALSE for a parcel without a package.
    HRESULT Stage(const _stringx& packageName);
    // May throw reboot_exception or parcel_event_failure_exception.
    HRESULT Run();
    HRESULT Redetect(HRESULT status);
    HRESULT Detect();
    HRESULT RunEvents(int eventType);
    _stringx FormatString(const _stringx& text) const;
    _stringx GetOperationTarget() const;
    bool IsElevationRequired() const;
    HRESULT AddFeatureToList(const _stringx& attribute, const _stringx& feature);
    void ReloadClients();
    bool IsSuiteClient() const;
    void WriteClients();

    // What the parcel holds.
    const _stringx& GetId() const noexcept { return m_id; }
    const _stringx& GetPackagePath() const noexcept { return m_packagePath; }
    int GetActionState() const noexcept { return m_actionState; }
    int GetDetectedState() const noexcept { return m_detected; }
    bool IsEligible() const noexcept { return m_eligible; }
    bool IsShared() const noexcept { return m_shared; }
    bool IsComplete() const noexcept { return m_complete; }
    bool HasRanDetection() const noexcept { return m_ranDetection; }
    int GetUpgradeType() const noexcept { return m_upgradeType; }
    EnumParcelUIType GetUIType() const noexcept { return m_uiType; }
    const _wstringx& GetWindowsFeatures() const noexcept { return m_windowsFeatures; }
    COperation* ChosenOperation() const noexcept { return m_chosen; }
    const std::vector<std::unique_ptr<COperation>>& Operations() const noexcept { return m_operations; }
    const std::vector<int>& RequestedActionStates() const noexcept { return m_requested; }
    const kr::stringx_vector& Clients() const noexcept { return m_clients; }
    CProxy_IParcelEvents& Events() noexcept { return m_events; }

    // Firings of _IParcelEvents for the handlers.
    HRESULT Fire_OnParcelEvent(EnumParcelProgressState state);
    HRESULT Fire_OnParcelProgress(const _stringx& message, int current, int maximum, EnumProgressFlags flags,
                                  VARIANT_BOOL* cancel);

    // IParcel
    STDMETHODIMP get_Name(BSTR* name) override;
    STDMETHODIMP get_Description(BSTR* description) override;
    STDMETHODIMP get_ID(BSTR* id) override;
    STDMETHODIMP get_Eligible(VARIANT_BOOL* eligible) override;
    STDMETHODIMP get_Required(VARIANT_BOOL* required) override;
    STDMETHODIMP get_ActionState(EnumParcelInstallState* state) override;
    STDMETHODIMP put_ActionState(EnumParcelInstallState state) override;
    STDMETHODIMP get_DetectedState(EnumParcelInstallState* state) override;
    STDMETHODIMP get_ExitCode(int* exitCode) override;
    STDMETHODIMP get_Type(EnumParcelType* type) override;
    STDMETHODIMP get_UIType(EnumParcelUIType* type) override;
    // IParcel2
    STDMETHODIMP SendOnParcelProgress(BSTR message, int current, int maximum, EnumProgressFlags flags,
                                      VARIANT_BOOL* cancel) override;
    STDMETHODIMP SendOnNextDisk(BSTR sourceFile, VARIANT_BOOL* cancel, BSTR* mediaPath) override;
    STDMETHODIMP SendOnError(BSTR message, int errorFlags, int* action) override;

protected:
    CParcel();
    ~CParcel() override;

private:
    IParcel2* Self() noexcept { return static_cast<IParcel2*>(this); }
    void EvaluateEligible(HRESULT* failure);
    void SaveParcelValue(const _stringx& name, const _stringx& value);
    HRESULT ApplyRebootRequest(HRESULT status);

    std::vector<std::unique_ptr<COperation>> m_operations;
    COperation* m_chosen = nullptr;
    _stringx m_packagePath;
    std::unique_ptr<CParcelHandler> m_handler;
    EnumParcelUIType m_uiType = eputIgnore;
    int m_detected = episAbsent;
    bool m_eligible = true;
    int m_actionState = episNoAction;
    std::unique_ptr<CCondition> m_detectCondition;
    std::unique_ptr<CCondition> m_eligibleCondition;
    _stringx m_conditionSlot;
    bool m_complete = false;
    bool m_ranDetection = false;
    _stringx m_id;
    int m_upgradeType = 0;
    std::vector<int> m_requested;
    std::unique_ptr<CParcelLoggingParameters> m_logging;
    std::map<int, std::vector<std::unique_ptr<IEventAction>>> m_eventActions;
    _wstringx m_windowsFeatures;
    bool m_shared = false;
    kr::stringx_vector m_clients;
    bool m_installedBefore = false;
    CProxy_IParcelEvents m_events;
    std::unique_ptr<CPackage> m_package;
};
