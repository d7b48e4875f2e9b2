// The engine's side of the setup.xml reader: the model's lists, the parcel
// factory, the selection tree and the start-up steps the reader triggers.
// Add/Remove Programs information and Windows-feature definitions are not
// built yet: their members answer none, and the reader skips those elements.

#include "suite/SetupEngine.h"

#include "actions/Action.h"
#include "kr/bootstrap_exception.h"
#include "kr/trace_log.h"
#include "parcels/ParcelFactory.h"
#include "staging/Package.h"

#define ENGINE_TRACE(...) TraceFormat({L"SetupEngine", __LINE__}, __VA_ARGS__)

CParcel* CSetupEngine::CreateParcel(const _stringx& typeName)
{
    CParcel* made = nullptr;
    if (MakeParcelForElement(typeName, &made) != S_OK || !made)
        return nullptr;
    // The factory's reference moves into the model.
    m_model->parcels.push_back(com::ComPtr<CParcel>::Adopt(made));
    return made;
}

CTransaction& CSetupEngine::AddTransaction(std::unique_ptr<CTransaction> transaction)
{
    m_model->transactions.push_back(std::move(transaction));
    return ModelEntry(m_model->transactions.back());
}

std::vector<CTransaction*> CSetupEngine::Transactions()
{
    std::vector<CTransaction*> transactions;
    for (const auto& transaction : m_model->transactions)
        transactions.push_back(&ModelEntry(transaction));
    return transactions;
}

CInstallMode& CSetupEngine::AddInstallMode(std::unique_ptr<CInstallMode> mode)
{
    m_model->installModes.push_back(std::move(mode));
    return ModelEntry(m_model->installModes.back());
}

CPropertySetter& CSetupEngine::AddPropertySetter(std::unique_ptr<CPropertySetter> setter)
{
    m_model->propertySetters.push_back(std::move(setter));
    return ModelEntry(m_model->propertySetters.back());
}

CAbortCondition& CSetupEngine::AddAbortCondition(std::unique_ptr<CAbortCondition> condition)
{
    m_model->abortConditions.push_back(std::move(condition));
    return ModelEntry(m_model->abortConditions.back());
}

CResource* CSetupEngine::NewUIResource(const ElementAttributes& attributes)
{
    m_uiResource = std::make_unique<CResource>(m_resourceHost, true);
    for (const ElementAttribute& attribute : attributes)
        m_uiResource->SetAttribute(attribute.name, attribute.value);
    return m_uiResource.get();
}

CResource* CSetupEngine::AddResource(const ElementAttributes& attributes)
{
    m_resources.push_back(std::make_unique<CResource>(m_resourceHost));
    for (const ElementAttribute& attribute : attributes)
        m_resources.back()->SetAttribute(attribute.name, attribute.value);
    return m_resources.back().get();
}

namespace {

// A suite action as the engine runs it by id; the parcel it runs for is one of
// the model's own.
class SuiteActionEntry : public ISuiteAction {
public:
    SuiteActionEntry(CSuiteModel& model, std::unique_ptr<CAction> action) : m_model(model), m_action(std::move(action))
    {
    }
    _stringx GetId() const override { return m_action->GetId(); }
    HRESULT Execute(IParcel2* parcel) override
    {
        CParcel* own = nullptr;
        for (const auto& entry : m_model.parcels) {
            if (parcel && static_cast<IParcel2*>(entry.Get()) == parcel)
                own = entry.Get();
        }
        return m_action->Execute(own);
    }
    CAction& Action() noexcept { return *m_action; }

private:
    CSuiteModel& m_model;
    std::unique_ptr<CAction> m_action;
};

} // namespace

CAction* CSetupEngine::AddAction(const _stringx& elementName, const ElementAttributes& attributes)
{
    std::unique_ptr<CAction> action = CreateSuiteAction(elementName);
    if (!action)
        return nullptr;
    for (const ElementAttribute& attribute : attributes)
        action->SetAttribute(attribute.name, attribute.value);
    action->InitDefaults();
    auto entry = std::make_unique<SuiteActionEntry>(*m_model, std::move(action));
    CAction& made = entry->Action();
    AddSuiteAction(std::move(entry));
    return &made;
}

CFeature* CSetupEngine::AddFeature(CFeature* parent, const ElementAttributes& attributes)
{
    CFeature* made = nullptr;
    if (FAILED(CFeature::CreateInstance(&made)) || !made)
        return nullptr;
    m_model->features.push_back(com::ComPtr<CFeature>::Adopt(made));
    if (parent)
        parent->AddChild(*made);
    else
        m_model->topLevelFeatures.push_back(made);
    for (const ElementAttribute& attribute : attributes)
        made->SetAttribute(attribute.name, attribute.value);
    return made;
}

IConditionContainer* CSetupEngine::FeatureConditionTarget(CFeature& feature, const _stringx& slot)
{
    feature.SetConditionSlot(slot);
    return &feature;
}

CPackage* CSetupEngine::SetPackage(CParcel& parcel, const ElementAttributes& attributes)
{
    auto package = std::make_unique<CPackage>();
    for (const ElementAttribute& attribute : attributes)
        package->SetAttribute(attribute.name, attribute.value);
    return &parcel.SetPackage(std::move(package));
}

namespace {

template <class T>
std::unique_ptr<T> MakeWithAttributes(const ElementAttributes& attributes)
{
    auto made = std::make_unique<T>();
    for (const ElementAttribute& attribute : attributes)
        made->SetAttribute(attribute.name, attribute.value);
    return made;
}

} // namespace

CFolder* CSetupEngine::SetRootFolder(CPackage& package, const ElementAttributes& attributes)
{
    return &package.SetRootFolder(MakeWithAttributes<CFolder>(attributes));
}

CFolder* CSetupEngine::AddSubFolder(CFolder& parent, const ElementAttributes& attributes)
{
    return &parent.AddSubFolder(MakeWithAttributes<CFolder>(attributes));
}

CFile* CSetupEngine::AddPackageFile(CPackage& package, const ElementAttributes& attributes)
{
    return &package.AddFile(MakeWithAttributes<CFile>(attributes));
}

CFile* CSetupEngine::AddFolderFile(CFolder& folder, const ElementAttributes& attributes)
{
    return &folder.AddFile(MakeWithAttributes<CFile>(attributes));
}
