// The engine's side of the setup.xml reader: the model's lists, the parcel
// factory, the selection tree and the start-up steps the reader triggers.
// Actions, packages, event actions, Add/Remove Programs information and
// Windows-feature definitions are not built yet: their members answer none,
// and the reader skips those elements.

#include "suite/SetupEngine.h"

#include "kr/bootstrap_exception.h"
#include "kr/trace_log.h"
#include "parcels/ParcelFactory.h"

#define ENGINE_TRACE(...) TraceFormat({L"SetupEngine", __LINE__}, __VA_ARGS__)

// The state is kept in memory: it is new for every run, and its staging
// folder is the support folder.
void CSetupEngine::InitializeState()
{
    if (GetSuiteId().empty()) {
        ENGINE_TRACE(L"Failed to initialize state information, is SuiteId missing from the setup element?");
        throw bootstrap_exception(static_cast<HRESULT>(0x80040701));
    }
    if (m_savedState.StagingFolder().empty())
        m_savedState.SetStagingFolder(m_supportFolder);
    m_supportFolder = m_savedState.StagingFolder();
}

// No user-interface thread is started yet, so a run that is not silent ends
// at the check for a running user interface.
void CSetupEngine::InitializeUI(CResource&)
{
    if (m_silent)
        ENGINE_TRACE(L"Engine: setup is running silent, skip UI init");
}

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

IEventAction* CSetupEngine::AddEventAction(int, const _stringx&)
{
    return nullptr;
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

CAction* CSetupEngine::AddAction(const _stringx&, const ElementAttributes&)
{
    return nullptr;
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

CPackage* CSetupEngine::SetPackage(CParcel&, const ElementAttributes&)
{
    return nullptr;
}

CFolder* CSetupEngine::SetRootFolder(CPackage&, const ElementAttributes&)
{
    return nullptr;
}

CFolder* CSetupEngine::AddSubFolder(CFolder&, const ElementAttributes&)
{
    return nullptr;
}

CFile* CSetupEngine::AddPackageFile(CPackage&, const ElementAttributes&)
{
    return nullptr;
}

CFile* CSetupEngine::AddFolderFile(CFolder&, const ElementAttributes&)
{
    return nullptr;
}

CParcel* CSetupEngine::FindParcel(const _stringx& id)
{
    for (const auto& parcel : m_model->parcels) {
        if (parcel->GetId() == id)
            return parcel.Get();
    }
    return nullptr;
}

bool CSetupEngine::IsTopLevelFeature(const _stringx& name)
{
    for (CFeature* feature : m_model->topLevelFeatures) {
        if (feature->GetName() == name)
            return true;
    }
    return false;
}
