#pragma once

// A suite model that records, in order, every call the setup.xml reader makes
// of it, and keeps the objects it is handed. Parcels are the real class: the
// real factory makes the "Exe" ones, a test handler stands in for the other
// package types. Objects of classes that are not built yet come back as
// tokens the reader only hands back, so every row can be pinned.

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <com/ComPtr.h>

#include "conditions/Condition.h"
#include "parcels/ParcelHandler.h"
#include "suitemodel/SuiteModelBuilder.h"

namespace setupxml_testing {

// A handler for the package types the factory cannot make yet.
class TestHandler : public CParcelHandler {
public:
    TestHandler(CParcel& parcel, EnumParcelType type, bool supportsTransaction)
        : CParcelHandler(parcel), m_type(type), m_supportsTransaction(supportsTransaction) {}

    bool SupportsTransaction() override { return m_supportsTransaction; }
    HRESULT Run() override { return S_OK; }
    EnumParcelType GetType() override { return m_type; }
    bool IsRebootStatus() override { return false; }

private:
    EnumParcelType m_type;
    bool m_supportsTransaction;
};

// A bag that writes every set into the model's record.
class RecordingBag : public CProperties {
public:
    RecordingBag(std::vector<std::wstring>& calls, std::wstring name) : m_calls(calls), m_name(std::move(name)) {}
    void SetAttribute(const _stringx& name, const _stringx& value) override;

private:
    std::vector<std::wstring>& m_calls;
    std::wstring m_name;
};

class RecordingEventAction : public IEventAction {
public:
    explicit RecordingEventAction(const _stringx& actionId) : m_actionId(actionId) {}

    void SetCondition(std::unique_ptr<CCondition> condition) override { condition_ = std::move(condition); }
    bool EvaluateEntryCondition() override { return true; }
    _stringx GetActionId() const override { return m_actionId; }
    _stringx GetDisplayText() const override { return GetAttribute(L"DisplayText"); }

    std::unique_ptr<CCondition> condition_;

private:
    _stringx m_actionId;
};

class RecordingModel : public ISuiteModelBuilder {
public:
    RecordingModel();
    ~RecordingModel();

    void SetProperty(const _stringx& name, const _stringx& value, bool overwriteLocked) override;
    void InitializeState() override;
    void InitializeUI(CResource& resource) override;

    CParcel* CreateParcel(const _stringx& typeName) override;
    CTransaction& AddTransaction(std::unique_ptr<CTransaction> transaction) override;
    std::vector<CTransaction*> Transactions() override;
    CTransaction* OpenTransaction() override { return openTransaction; }
    void SetOpenTransaction(CTransaction* transaction) override;

    CInstallMode& AddInstallMode(std::unique_ptr<CInstallMode> mode) override;
    CPropertySetter& AddPropertySetter(std::unique_ptr<CPropertySetter> setter) override;
    CAbortCondition& AddAbortCondition(std::unique_ptr<CAbortCondition> condition) override;
    IEventAction* AddEventAction(int eventType, const _stringx& actionId) override;

    CResource* NewUIResource(const ElementAttributes& attributes) override;
    CResource* AddResource(const ElementAttributes& attributes) override;
    CAction* AddAction(const _stringx& elementName, const ElementAttributes& attributes) override;
    CFeature* AddFeature(CFeature* parent, const ElementAttributes& attributes) override;
    IConditionContainer* FeatureConditionTarget(CFeature& feature, const _stringx& slot) override;
    CPackage* SetPackage(CParcel& parcel, const ElementAttributes& attributes) override;
    CFolder* SetRootFolder(CPackage& package, const ElementAttributes& attributes) override;
    CFolder* AddSubFolder(CFolder& parent, const ElementAttributes& attributes) override;
    CFile* AddPackageFile(CPackage& package, const ElementAttributes& attributes) override;
    CFile* AddFolderFile(CFolder& folder, const ElementAttributes& attributes) override;

    CProperties* ArpInfo() override;
    CProperties* LanguageManager() override;
    CProperties* StringTable(LANGID language) override;

    bool AddWindowsFeatureItem(const _wstringx& item) override;
    void AddWindowsFeatureDependencies(const _wstringx& item, const std::vector<_wstringx>& names) override;
    bool AddWindowsFeatureOSDefinition(const _wstringx& item, const _wstringx& osName) override;
    void SetWindowsFeatureList(const _wstringx& item, const _wstringx& osName, const _wstringx& features) override;

    // The record as one text, a call a line.
    std::wstring Calls() const;
    // The name of a parcel in the record ("P1" ...).
    std::wstring NameOf(const void* object) const;
    CParcel* Parcel(size_t index) const { return parcels.at(index).Get(); }

    // Members that make objects of classes not built yet hand back none, as
    // the engine does until those classes exist.
    bool unbuiltGiveNone = false;
    // Handler types for parcel element names other than Exe (any case).
    std::map<std::wstring, std::pair<EnumParcelType, bool>> testHandlers;

    std::vector<std::wstring> calls;
    CProperties store;
    std::vector<com::ComPtr<CParcel>> parcels;
    std::vector<std::unique_ptr<CTransaction>> transactions;
    CTransaction* openTransaction = nullptr;
    std::vector<std::unique_ptr<CInstallMode>> installModes;
    std::vector<std::unique_ptr<CPropertySetter>> setters;
    std::vector<std::unique_ptr<CAbortCondition>> aborts;
    std::vector<std::unique_ptr<RecordingEventAction>> eventActions;
    std::map<const void*, std::unique_ptr<CConditionOwner>> featureConditions;
    std::unique_ptr<RecordingBag> arpInfo;
    std::unique_ptr<RecordingBag> languageManager;
    std::map<LANGID, std::unique_ptr<RecordingBag>> stringTables;

private:
    template <class T>
    T* Token(const std::wstring& kind);
    std::wstring Record(const std::wstring& call, const ElementAttributes& attributes) const;

    std::vector<std::unique_ptr<int>> m_tokens;
    std::map<const void*, std::wstring> m_names;
    std::map<std::wstring, int> m_counts;
};

// Registers a condition class for every leaf kind while it lives; each made
// condition is listed in creation order.
class ProbeConditions {
public:
    ProbeConditions();
    ~ProbeConditions();

    // Made conditions, described as "ExtType ns|name attr=value ..." in order.
    static std::vector<std::wstring>& Made();
    // A leaf whose ExtType is this name fails its validation.
    static std::wstring& FailingName();
    // Conditions made and not destroyed yet.
    static int Live();
};

// The document written to a file of its own, removed again when it goes.
class DocumentFile {
public:
    explicit DocumentFile(const std::string& utf8);
    ~DocumentFile();
    const std::wstring& Path() const noexcept { return m_path; }

private:
    std::wstring m_path;
};

} // namespace setupxml_testing
