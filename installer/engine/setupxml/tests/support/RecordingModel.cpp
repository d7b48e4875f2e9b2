#include "RecordingModel.h"

#include <fstream>

#include "conditions/ConditionKind.h"
#include "kr/bootstrap_exception.h"
#include "parcels/ParcelFactory.h"

namespace setupxml_testing {

namespace {

std::wstring Text(const _stringx& text)
{
    return std::wstring(text.c_str(), text.length());
}

std::wstring Text(const _wstringx& text)
{
    return std::wstring(text.c_str(), text.length());
}

int g_liveProbes = 0;

class ProbeCondition : public CCondition {
public:
    ProbeCondition() { ++g_liveProbes; }
    ~ProbeCondition() override { --g_liveProbes; }

    void SetExtension(const _stringx& namespaceUri, const _stringx& name) override
    {
        m_extension = Text(namespaceUri) + L"|" + Text(name);
    }
    HRESULT Validate() override
    {
        Describe();
        if (!ProbeConditions::FailingName().empty() && Text(ReadAttribute(L"ExtType")) == ProbeConditions::FailingName())
            return E_INVALIDARG;
        return S_OK;
    }
    HRESULT Evaluate(bool* result) override
    {
        *result = true;
        return S_OK;
    }

private:
    // Described when the group validates it, once all its attributes are in.
    void Describe()
    {
        std::wstring text = Text(ReadAttribute(L"ExtType")) + L" " + m_extension;
        for (const wchar_t* name : {L"Property", L"Value", L"Id"}) {
            const _stringx value = ReadAttribute(name);
            if (!value.empty())
                text += L" " + std::wstring(name) + L"=" + Text(value);
        }
        ProbeConditions::Made().push_back(text);
    }

    std::wstring m_extension;
};

std::unique_ptr<CCondition> MakeProbe()
{
    return std::make_unique<ProbeCondition>();
}

} // namespace

void RecordingBag::SetAttribute(const _stringx& name, const _stringx& value)
{
    m_calls.push_back(m_name + L"." + Text(name) + L"=" + Text(value));
    CProperties::SetAttribute(name, value);
}

RecordingModel::RecordingModel() = default;

RecordingModel::~RecordingModel() = default;

template <class T>
T* RecordingModel::Token(const std::wstring& kind)
{
    if (unbuiltGiveNone)
        return nullptr;
    m_tokens.push_back(std::make_unique<int>(0));
    T* token = reinterpret_cast<T*>(m_tokens.back().get());
    m_names[token] = kind + std::to_wstring(++m_counts[kind]);
    return token;
}

std::wstring RecordingModel::Record(const std::wstring& call, const ElementAttributes& attributes) const
{
    std::wstring text = call;
    for (const ElementAttribute& attribute : attributes)
        text += L" " + Text(attribute.name) + L"=" + Text(attribute.value);
    return text;
}

std::wstring RecordingModel::NameOf(const void* object) const
{
    const auto found = m_names.find(object);
    return found == m_names.end() ? L"none" : found->second;
}

std::wstring RecordingModel::Calls() const
{
    std::wstring text;
    for (const std::wstring& call : calls)
        text += call + L"\n";
    return text;
}

void RecordingModel::SetProperty(const _stringx& name, const _stringx& value, bool overwriteLocked)
{
    calls.push_back(L"SetProperty " + Text(name) + L"=" + Text(value) + (overwriteLocked ? L" overwrite" : L""));
    const bool previous = store.OverwriteLocked();
    store.SetOverwriteLocked(overwriteLocked);
    store.SetAttribute(name, value);
    store.SetOverwriteLocked(previous);
}

void RecordingModel::InitializeState()
{
    calls.push_back(L"InitializeState");
}

void RecordingModel::InitializeUI(CResource& resource)
{
    calls.push_back(L"InitializeUI " + NameOf(&resource));
}

CParcel* RecordingModel::CreateParcel(const _stringx& typeName)
{
    CParcel* made = nullptr;
    std::pair<EnumParcelType, bool> chosen{};
    bool test = false;
    for (const auto& entry : testHandlers) {
        if (typeName == entry.first.c_str()) {
            chosen = entry.second;
            test = true;
        }
    }
    if (test) {
        if (SUCCEEDED(CParcel::CreateInstance(&made)))
            made->SetHandler(std::make_unique<TestHandler>(*made, chosen.first, chosen.second));
    } else if (MakeParcelForElement(typeName, &made) != S_OK) {
        made = nullptr;
    }
    if (!made) {
        calls.push_back(L"CreateParcel " + Text(typeName) + L" -> none");
        return nullptr;
    }
    parcels.push_back(com::ComPtr<CParcel>::Adopt(made));
    m_names[made] = L"P" + std::to_wstring(parcels.size());
    calls.push_back(L"CreateParcel " + Text(typeName) + L" -> " + NameOf(made));
    return made;
}

CTransaction& RecordingModel::AddTransaction(std::unique_ptr<CTransaction> transaction)
{
    transactions.push_back(std::move(transaction));
    CTransaction* added = transactions.back().get();
    m_names[added] = L"T" + std::to_wstring(transactions.size());
    calls.push_back(L"AddTransaction " + NameOf(added) + (added->IsMsiTransaction() ? L" msi" : L""));
    return *added;
}

std::vector<CTransaction*> RecordingModel::Transactions()
{
    std::vector<CTransaction*> list;
    for (const auto& transaction : transactions)
        list.push_back(transaction.get());
    return list;
}

void RecordingModel::SetOpenTransaction(CTransaction* transaction)
{
    calls.push_back(L"SetOpenTransaction " + NameOf(transaction));
    openTransaction = transaction;
}

CInstallMode& RecordingModel::AddInstallMode(std::unique_ptr<CInstallMode> mode)
{
    installModes.push_back(std::move(mode));
    calls.push_back(L"AddInstallMode " + std::to_wstring(installModes.back()->Mode()));
    return *installModes.back();
}

CPropertySetter& RecordingModel::AddPropertySetter(std::unique_ptr<CPropertySetter> setter)
{
    setters.push_back(std::move(setter));
    calls.push_back(L"AddPropertySetter");
    return *setters.back();
}

CAbortCondition& RecordingModel::AddAbortCondition(std::unique_ptr<CAbortCondition> condition)
{
    aborts.push_back(std::move(condition));
    calls.push_back(L"AddAbortCondition");
    return *aborts.back();
}

IEventAction* RecordingModel::AddEventAction(int eventType, const _stringx& actionId)
{
    // The suite keeps every event but the parcels' own.
    const bool kept = eventType != 8 && eventType != 9;
    calls.push_back(L"AddEventAction " + std::to_wstring(eventType) + L" " + Text(actionId) + (kept ? L"" : L" -> none"));
    if (!kept)
        return nullptr;
    eventActions.push_back(std::make_unique<RecordingEventAction>(actionId));
    return eventActions.back().get();
}

CResource* RecordingModel::NewUIResource(const ElementAttributes& attributes)
{
    CResource* made = Token<CResource>(L"R");
    calls.push_back(Record(L"NewUIResource", attributes) + L" -> " + NameOf(made));
    return made;
}

CResource* RecordingModel::AddResource(const ElementAttributes& attributes)
{
    CResource* made = Token<CResource>(L"R");
    calls.push_back(Record(L"AddResource", attributes) + L" -> " + NameOf(made));
    return made;
}

CAction* RecordingModel::AddAction(const _stringx& elementName, const ElementAttributes& attributes)
{
    CAction* made = Token<CAction>(L"A");
    calls.push_back(Record(L"AddAction " + Text(elementName), attributes) + L" -> " + NameOf(made));
    return made;
}

CFeature* RecordingModel::AddFeature(CFeature* parent, const ElementAttributes& attributes)
{
    CFeature* made = Token<CFeature>(L"F");
    calls.push_back(Record(L"AddFeature " + NameOf(parent), attributes) + L" -> " + NameOf(made));
    return made;
}

IConditionContainer* RecordingModel::FeatureConditionTarget(CFeature& feature, const _stringx& slot)
{
    calls.push_back(L"FeatureConditionTarget " + NameOf(&feature) + L" " + Text(slot));
    auto& container = featureConditions[&feature];
    if (!container)
        container = std::make_unique<CConditionOwner>();
    return container.get();
}

CPackage* RecordingModel::SetPackage(CParcel& parcel, const ElementAttributes& attributes)
{
    CPackage* made = Token<CPackage>(L"K");
    calls.push_back(Record(L"SetPackage " + NameOf(&parcel), attributes) + L" -> " + NameOf(made));
    return made;
}

CFolder* RecordingModel::SetRootFolder(CPackage& package, const ElementAttributes& attributes)
{
    CFolder* made = Token<CFolder>(L"D");
    calls.push_back(Record(L"SetRootFolder " + NameOf(&package), attributes) + L" -> " + NameOf(made));
    return made;
}

CFolder* RecordingModel::AddSubFolder(CFolder& parent, const ElementAttributes& attributes)
{
    CFolder* made = Token<CFolder>(L"D");
    calls.push_back(Record(L"AddSubFolder " + NameOf(&parent), attributes) + L" -> " + NameOf(made));
    return made;
}

CFile* RecordingModel::AddPackageFile(CPackage& package, const ElementAttributes& attributes)
{
    CFile* made = Token<CFile>(L"E");
    calls.push_back(Record(L"AddPackageFile " + NameOf(&package), attributes) + L" -> " + NameOf(made));
    return made;
}

CFile* RecordingModel::AddFolderFile(CFolder& folder, const ElementAttributes& attributes)
{
    CFile* made = Token<CFile>(L"E");
    calls.push_back(Record(L"AddFolderFile " + NameOf(&folder), attributes) + L" -> " + NameOf(made));
    return made;
}

CProperties* RecordingModel::ArpInfo()
{
    calls.push_back(L"ArpInfo");
    if (unbuiltGiveNone)
        return nullptr;
    if (!arpInfo)
        arpInfo = std::make_unique<RecordingBag>(calls, L"ARP");
    return arpInfo.get();
}

CProperties* RecordingModel::LanguageManager()
{
    calls.push_back(L"LanguageManager");
    if (unbuiltGiveNone)
        return nullptr;
    if (!languageManager)
        languageManager = std::make_unique<RecordingBag>(calls, L"Languages");
    return languageManager.get();
}

CProperties* RecordingModel::StringTable(LANGID language)
{
    calls.push_back(L"StringTable " + std::to_wstring(language));
    if (unbuiltGiveNone)
        return nullptr;
    auto& table = stringTables[language];
    if (!table)
        table = std::make_unique<RecordingBag>(calls, L"Strings" + std::to_wstring(language));
    return table.get();
}

bool RecordingModel::AddWindowsFeatureItem(const _wstringx& item)
{
    calls.push_back(L"AddWindowsFeatureItem " + Text(item));
    return !unbuiltGiveNone;
}

void RecordingModel::AddWindowsFeatureDependencies(const _wstringx& item, const std::vector<_wstringx>& names)
{
    std::wstring text = L"AddWindowsFeatureDependencies " + Text(item);
    for (const _wstringx& name : names)
        text += L" [" + Text(name) + L"]";
    calls.push_back(text);
}

bool RecordingModel::AddWindowsFeatureOSDefinition(const _wstringx& item, const _wstringx& osName)
{
    calls.push_back(L"AddWindowsFeatureOSDefinition " + Text(item) + L" " + Text(osName));
    return !unbuiltGiveNone;
}

void RecordingModel::SetWindowsFeatureList(const _wstringx& item, const _wstringx& osName, const _wstringx& features)
{
    calls.push_back(L"SetWindowsFeatureList " + Text(item) + L" " + Text(osName) + L" " + Text(features));
}

namespace {

ConditionMaker g_previous[ckInvalid] = {};

} // namespace

ProbeConditions::ProbeConditions()
{
    Made().clear();
    FailingName().clear();
    for (int kind = 0; kind < ckInvalid; ++kind)
        g_previous[kind] = SetConditionMaker(kind, &MakeProbe);
}

ProbeConditions::~ProbeConditions()
{
    for (int kind = 0; kind < ckInvalid; ++kind)
        SetConditionMaker(kind, g_previous[kind]);
}

std::vector<std::wstring>& ProbeConditions::Made()
{
    static std::vector<std::wstring> made;
    return made;
}

int ProbeConditions::Live()
{
    return g_liveProbes;
}

std::wstring& ProbeConditions::FailingName()
{
    static std::wstring name;
    return name;
}

DocumentFile::DocumentFile(const std::string& utf8)
{
    wchar_t folder[MAX_PATH] = {};
    wchar_t path[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"sxr", 0, path);
    m_path = path;
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    CloseHandle(file);
}

DocumentFile::~DocumentFile()
{
    DeleteFileW(m_path.c_str());
}

} // namespace setupxml_testing
