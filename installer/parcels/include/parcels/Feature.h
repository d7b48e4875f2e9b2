#pragma once

// One node of the suite's selection tree: a unit the user switches on or
// off. It maps to parcels, or to features inside a parcel's package, through
// its Install attribute; it computes its first action state and its installed
// state before the user interface runs, and after the selection passes its
// state down the tree and on to its parcels. It is also the automation
// object Feature.

#include <memory>
#include <vector>

#include <com/ComPtr.h>
#include <com/Dispatch.h>
#include <com/Object.h>

#include "automation/Interfaces.h"
#include "automation/RefCollection.h"
#include "conditions/Condition.h"
#include "conditions/ConditionContainer.h"
#include "kr/stringx.h"
#include "parcels/StateObject.h"
#include "properties/Properties.h"

class CFeature : public CProperties,
                 public com::ObjectRoot,
                 public com::DispatchImpl<IFeature>,
                 public IConditionContainer,
                 public IStateObject {
public:
    // A new feature with one reference.
    static HRESULT CreateInstance(CFeature** out);

    static std::span<const com::InterfaceEntry> InterfaceTable() noexcept;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override = 0;
    STDMETHODIMP_(ULONG) AddRef() override = 0;
    STDMETHODIMP_(ULONG) Release() override = 0;

    // Setup, by the setup.xml reader and the state reload.
    void SetAttribute(const _stringx& name, const _stringx& value) override;
    // The name of the condition element being read; "visible" takes the visible condition.
    void SetConditionSlot(const _stringx& slot) { m_conditionSlot = slot; }
    void SetCondition(std::unique_ptr<CCondition> condition) override;
    void LoadStateValue(const CStateEntry& entry) override;
    // Nested features in document order; the suite model keeps them alive.
    void AddChild(CFeature& child) { m_children.push_back(&child); }

    // This feature's Features collection by name, else the children's, depth
    // first; a new reference, or null.
    com::ComPtr<IFeature> FindFeature(const _stringx& name);
    // The first action state and the installed state, children first.
    void InitializeState(EnumInstallMode mode, const kr::stringx_vector& install, const kr::stringx_vector& remove);
    void SetDefaultActionState(EnumInstallMode mode);
    // Passes the state down the tree and to the parcels, and saves it.
    void SetParcelStates(int state, bool parentOverride);
    // The override this feature passes to its children.
    bool ChildOverride(EnumInstallMode mode, bool parentOverride) const;
    // Follows its parent's state, and has a parent.
    bool FollowsParent() const;
    // A parcel id in both mapping lists (package features ignored).
    bool SharesParcelWith(const CFeature& other) const;

    int GetActionState() const noexcept { return m_actionState; }
    void SetActionState(int state) noexcept { m_actionState = state; }
    int GetInstalledState() const noexcept { return m_installedState; }
    bool IsVisible() const noexcept { return m_visible; }
    const _stringx& GetName() const noexcept { return m_name; }
    const kr::stringx_vector& ParcelMappings() const noexcept { return m_mappings; }
    const std::vector<CFeature*>& Children() const noexcept { return m_children; }

    // IFeature
    STDMETHODIMP get_DisplayName(BSTR* name) override;
    STDMETHODIMP get_Description(BSTR* description) override;
    STDMETHODIMP get_Cost(__int64* cost) override;
    STDMETHODIMP get_ActionState(EnumFeatureActionState* state) override;
    STDMETHODIMP put_ActionState(EnumFeatureActionState state) override;
    STDMETHODIMP get_Name(BSTR* name) override;
    STDMETHODIMP get_Features(IFeatures** features) override;
    STDMETHODIMP get_Visible(VARIANT_BOOL* visible) override;
    STDMETHODIMP get_InstalledState(EnumFeatureInstalledState* state) override;
    STDMETHODIMP get_AllowSelectionChange(VARIANT_BOOL* allow) override;

protected:
    CFeature();
    ~CFeature() override;

private:
    HRESULT EnsureFeatures();
    CFeature* ChildOf(IFeature* item) const noexcept;
    void DetectInstalledState();
    void RequestParcelStates();

    int m_actionState = efasNoAction;
    int m_installedState = efisAbsent;
    bool m_visible = true;
    bool m_allowSelectionChange = true;
    bool m_followParentState = false;
    long long m_cost = 0;
    _stringx m_description;
    _stringx m_displayName;
    _stringx m_name;
    kr::stringx_vector m_mappings;
    com::ComPtr<com::Object<CFeatureCollection>> m_features;
    std::vector<CFeature*> m_children;
    std::unique_ptr<CCondition> m_installCondition;
    _stringx m_conditionSlot;
    std::unique_ptr<CCondition> m_visibleCondition;
};
