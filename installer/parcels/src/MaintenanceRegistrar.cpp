#include "parcels/MaintenanceRegistrar.h"

#include <cwchar>

#include "conditions/Version.h"
#include "kr/copy_file.h"
#include "kr/file_system.h"
#include "kr/holders.h"
#include "kr/kernel32_forms.h"
#include "kr/library_state.h"
#include "kr/trace_log.h"
#include "parcels/ProxyApi.h"
#include "parcels/ProxyHandler.h"

#define REGISTRAR_TRACE(...) TraceFormat({L"Common\\MaintenanceRegistrar", __LINE__}, __VA_ARGS__)

namespace {

constexpr wchar_t kCacheFolder[] = L"[ProgramFilesFolder]Korvanstilmer Installation Information";
constexpr wchar_t kStreamPrefix[] = L"Stream:";
constexpr size_t kStreamPrefixLength = 7;
constexpr DWORD kRequestArp = 8;
constexpr REGSAM kReadWrite = KEY_READ | KEY_WRITE; // 0x2001F

struct NamedText {
    const wchar_t* name;
    CMaintenanceRegistrar::Text text;
};

// The ARPInfo children the registrar takes ("Size" is a number).
constexpr NamedText kChildren[] = {
    {L"DisplayName", CMaintenanceRegistrar::DisplayName},
    {L"Publisher", CMaintenanceRegistrar::Publisher},
    {L"HelpLink", CMaintenanceRegistrar::HelpLink},
    {L"HelpPhone", CMaintenanceRegistrar::HelpPhone},
    {L"URLInfoAbout", CMaintenanceRegistrar::URLInfoAbout},
    {L"URLUpdateInfo", CMaintenanceRegistrar::URLUpdateInfo},
    {L"Comments", CMaintenanceRegistrar::Comments},
    {L"Contact", CMaintenanceRegistrar::Contact},
    {L"Readme", CMaintenanceRegistrar::Readme},
    {L"Modify", CMaintenanceRegistrar::Modify},
    {L"Remove", CMaintenanceRegistrar::Remove},
    {L"Version", CMaintenanceRegistrar::Version},
    {L"Icon", CMaintenanceRegistrar::Icon},
};

// The texts string ids may stand for, resolved in this order.
constexpr CMaintenanceRegistrar::Text kDisplayTexts[] = {
    CMaintenanceRegistrar::DisplayName, CMaintenanceRegistrar::Publisher,     CMaintenanceRegistrar::HelpLink,
    CMaintenanceRegistrar::HelpPhone,   CMaintenanceRegistrar::URLInfoAbout,  CMaintenanceRegistrar::URLUpdateInfo,
    CMaintenanceRegistrar::Comments,    CMaintenanceRegistrar::Contact,       CMaintenanceRegistrar::Readme,
};

// The file functions leave their Win32 error in the library state.
HRESULT LastFileError()
{
    const DWORD error = kr::last_result();
    return HRESULT_FROM_WIN32(error ? error : ERROR_GEN_FAILURE);
}

void WriteText(HKEY key, const wchar_t* name, const _stringx& text)
{
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.length() + 1) * sizeof(wchar_t)));
}

void WriteNumber(HKEY key, const wchar_t* name, DWORD value)
{
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

// The text up to its last comma (all of it without one), and the rest from that comma on.
void SplitIndex(const _stringx& location, _stringx& file, _stringx& index)
{
    const size_t comma = location.rfind(L",");
    file = comma == _stringx::npos ? location : location.substr(0, comma);
    index = comma == _stringx::npos ? _stringx() : location.substr(comma);
}

// Not recursive: an entry that holds subkeys stays.
void DeleteSubkey(HKEY parent, const _stringx& name)
{
    using DeleteKeyEx = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
    if (const auto deleteEx = kr::system_proc_as<DeleteKeyEx>(L"advapi32.dll", "RegDeleteKeyExW"))
        deleteEx(parent, name.c_str(), kArpRegistryView, 0);
    else
        RegDeleteKeyW(parent, name.c_str());
}

// A name that stands for one folder of its own: no separator, no drive, and
// nothing the file system trims away (".", "..", trailing dots and blanks).
bool IsPlainFolderName(const _stringx& name)
{
    if (name.empty() || name.ends_with_char(L'.') || name.ends_with_char(L' '))
        return false;
    return name.find(L'\\') == _stringx::npos && name.find(L'/') == _stringx::npos &&
           name.find(L':') == _stringx::npos;
}

void CopyAsNormalFile(const _stringx& source, const _stringx& target)
{
    kr::copy_file(source, target, kr::copy_chunk_size, false);
    _stringx path(target);
    kr::set_file_attributes(path, FILE_ATTRIBUTE_NORMAL);
}

} // namespace

CMaintenanceRegistrar::CMaintenanceRegistrar(bool elevatedForm, IMaintenanceHost* host)
    : m_elevatedForm(elevatedForm), m_host(host)
{
}

void CMaintenanceRegistrar::SetAttribute(const _stringx& name, const _stringx& value)
{
    for (const NamedText& child : kChildren) {
        if (name == child.name) {
            m_texts[child.text] = value;
            return;
        }
    }
    if (name == L"Size")
        m_estimatedSize = std::wcstoul(value.c_str(), nullptr, 10);
}

void CMaintenanceRegistrar::SetPassive(bool passive) noexcept
{
    m_flags = passive ? (m_flags | kPassive) : (m_flags & ~kPassive);
}

_stringx CMaintenanceRegistrar::UninstallKeyPath() const
{
    return _stringx(kUninstallKey).path_combine(m_texts[SuiteId]);
}

void CMaintenanceRegistrar::PrepareRegistration()
{
    if (m_elevatedForm || !m_host)
        return;
    _stringx cached = m_host->FormatString(_stringx(kCacheFolder).path_combine(m_texts[SuiteId]));
    _stringx fileName = m_host->GetEngineProperty(L"ORIGINALSETUPEXENAME");
    if (fileName.empty())
        fileName = m_host->GetEngineProperty(L"SETUPEXENAME");
    cached.append_with_separator(fileName, L'\\');
    m_texts[CachedLauncher] = cached;
    _stringx quoted(cached);
    quoted.quote();

    if (m_texts[Remove] == L"no")
        m_flags |= kNoRemove;
    m_texts[Remove] = quoted + L" -remove -runfromtemp";
    if (m_flags & kPassive)
        m_texts[Remove] += L" /passive";
    if (m_texts[Modify] == L"no")
        m_flags |= kNoModify;
    m_texts[Modify] = quoted + L" -modify -runfromtemp";

    m_packedVersion = 0;
    const HRESULT parsed = ParseVersion3(m_texts[Version], &m_packedVersion);
    if (FAILED(parsed)) {
        m_packedVersion = 0;
        REGISTRAR_TRACE(L"Failed to convert product version '%s' to numeric value, error %x",
                        m_texts[Version].c_str(), parsed);
    }

    for (Text text : kDisplayTexts)
        m_texts[text] = m_host->ResolveStringId(m_texts[text]);
    PrepareIcon();
    m_texts[Readme] = m_host->FormatString(m_texts[Readme]);
}

void CMaintenanceRegistrar::PrepareIcon()
{
    _stringx& icon = m_texts[Icon];
    if (!icon.starts_with(kStreamPrefix)) {
        icon = icon.empty() ? m_texts[CachedLauncher] : m_host->FormatString(icon);
        REGISTRAR_TRACE(L"ARP icon is copied from: '%s'", icon.c_str());
        return;
    }
    m_iconFromPayload = true;
    _stringx fileName;
    _stringx index;
    SplitIndex(icon.substr(kStreamPrefixLength), fileName, index);
    const _stringx target = m_host->GetStagingFolder().path_combine(fileName);
    // A payload without the entry leaves the path the file would have had.
    m_host->ExtractStreamFile(fileName, target);
    icon = target + index;
    REGISTRAR_TRACE(L"ARP icon is streamed: %s", icon.c_str());
}

HRESULT CMaintenanceRegistrar::Register()
{
    PrepareRegistration();
    if (m_texts[SuiteId].empty()) {
        REGISTRAR_TRACE(L"No suite ID defined, unable to create ARP information");
        return E_INVALIDARG;
    }
    const _stringx keyPath = UninstallKeyPath();
    if (!m_elevatedForm && m_host) {
        m_host->Fire_OnSuiteRegistration(VARIANT_TRUE);
        if (!m_host->IsElevated())
            return SendToElevatedProxy(1);
    }

    // The entry's commands start the launcher copy: without it there is no entry.
    const _stringx& cached = m_texts[CachedLauncher];
    if (!kr::create_folder_of(cached))
        return LastFileError();
    if (!kr::copy_file(m_texts[LauncherSource], cached, kr::copy_chunk_size, false))
        return LastFileError();
    _stringx attributesPath(cached);
    kr::set_file_attributes(attributesPath, FILE_ATTRIBUTE_NORMAL);

    _stringx iconValue = m_texts[Icon];
    if (m_iconFromPayload) {
        _stringx iconFile;
        _stringx index;
        SplitIndex(m_texts[Icon], iconFile, index);
        const _stringx target = cached.path_folder().path_combine(iconFile.path_file_name());
        CopyAsNormalFile(iconFile, target);
        iconValue = target + index;
    }

    HKEY opened = nullptr;
    const LONG created = RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                         kReadWrite | kArpRegistryView, nullptr, &opened, nullptr);
    if (created != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(created);
    kr::registry_key_holder key(opened);
    WriteText(opened, L"DisplayName", m_texts[DisplayName]);
    WriteText(opened, L"DisplayVersion", m_texts[Version]);
    WriteText(opened, L"Publisher", m_texts[Publisher]);
    WriteText(opened, L"HelpLink", m_texts[HelpLink]);
    WriteText(opened, L"HelpTelephone", m_texts[HelpPhone]);
    WriteText(opened, L"URLInfoAbout", m_texts[URLInfoAbout]);
    WriteText(opened, L"URLUpdateInfo", m_texts[URLUpdateInfo]);
    WriteText(opened, L"Comments", m_texts[Comments]);
    WriteText(opened, L"Contact", m_texts[Contact]);
    WriteText(opened, L"Readme", m_texts[Readme]);
    WriteText(opened, L"DisplayIcon", iconValue);
    WriteNumber(opened, L"Language", m_language);
    WriteNumber(opened, L"EstimatedSize", m_estimatedSize);
    WriteNumber(opened, L"Version", m_packedVersion);
    WriteNumber(opened, L"VersionMajor", m_packedVersion >> 24);
    WriteNumber(opened, L"VersionMinor", (m_packedVersion >> 16) & 0xFF);
    WriteText(opened, L"UninstallString", m_texts[Remove]);
    WriteText(opened, L"ModifyPath", m_texts[Modify]);
    RegDeleteValueW(opened, L"NoModify");
    RegDeleteValueW(opened, L"NoRemove");
    if (m_flags & kNoModify)
        WriteNumber(opened, L"NoModify", 1);
    if (m_flags & kNoRemove)
        WriteNumber(opened, L"NoRemove", 1);
    WriteNumber(opened, L"NoRepair", 1);
    return S_OK;
}

bool CMaintenanceRegistrar::CachedFolderIsDeletable() const
{
    const _stringx& cached = m_texts[CachedLauncher];
    if (!cached.is_absolute_path())
        return false;
    const _stringx folder = cached.path_folder();
    const _stringx& suite = m_texts[SuiteId];
    return !folder.is_drive_root() && IsPlainFolderName(suite) && folder.path_file_name() == suite;
}

HRESULT CMaintenanceRegistrar::Unregister()
{
    PrepareRegistration();
    if (m_texts[SuiteId].empty()) {
        REGISTRAR_TRACE(L"No suite ID defined, unable to remove ARP information");
        return E_INVALIDARG;
    }
    if (!m_elevatedForm && m_host) {
        m_host->Fire_OnSuiteRegistration(VARIANT_FALSE);
        if (!m_host->IsElevated())
            return SendToElevatedProxy(0);
    }

    // An empty or damaged path must never name a drive root or the current folder.
    if (!CachedFolderIsDeletable())
        return E_INVALIDARG;
    kr::delete_tree(m_texts[CachedLauncher].path_folder(true), false);

    kr::registry_key_holder uninstall(HKEY_LOCAL_MACHINE, kUninstallKey, kReadWrite | kArpRegistryView);
    if (uninstall.get())
        DeleteSubkey(uninstall.get(), m_texts[SuiteId]);
    return S_OK;
}

bool CMaintenanceRegistrar::GetInstalledLanguage(LANGID& language)
{
    language = 0;
    kr::registry_key_holder key(HKEY_LOCAL_MACHINE, UninstallKeyPath().c_str(), KEY_READ | kArpRegistryView);
    if (!key.get()) {
        REGISTRAR_TRACE(L"Maintenance: no uninstall key present");
        return false;
    }
    DWORD value = 0;
    DWORD type = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExW(key.get(), L"Language", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD) {
        REGISTRAR_TRACE(L"Maintenance: uninstall key present but has no language value");
        return false;
    }
    REGISTRAR_TRACE(L"Maintenance: got installed language: %d", static_cast<int>(value));
    language = static_cast<LANGID>(value);
    return true;
}

ArpRecord CMaintenanceRegistrar::MakeRecord(DWORD operation) const
{
    ArpRecord record;
    record.operation = operation;
    if (operation == 0) {
        record.texts[SuiteId] = m_texts[SuiteId];
        record.texts[CachedLauncher] = m_texts[CachedLauncher];
        return record;
    }
    record.version = m_packedVersion;
    record.size = m_estimatedSize;
    record.language = m_language;
    record.icon = m_iconFromPayload ? 1 : 0;
    record.flags = m_flags;
    for (size_t i = 0; i < ArpRecord::kTexts; ++i)
        record.texts[i] = m_texts[i];
    return record;
}

void CMaintenanceRegistrar::TakeRecord(const ArpRecord& record)
{
    m_packedVersion = record.version;
    m_estimatedSize = record.size;
    m_language = record.language;
    m_iconFromPayload = record.icon != 0;
    m_flags = record.flags;
    for (size_t i = 0; i < ArpRecord::kTexts; ++i)
        m_texts[i] = record.texts[i];
}

HRESULT CMaintenanceRegistrar::SendToElevatedProxy(DWORD operation)
{
    CProxyHandler* proxy = m_host ? m_host->GetElevatedProxy() : nullptr;
    // Nothing was registered: that is no success.
    if (!proxy)
        return static_cast<HRESULT>(kNoProxy);
    const std::vector<BYTE> record = WriteArpRecord(MakeRecord(operation));
    return static_cast<HRESULT>(
        proxy->SendRequest(kRequestArp, 0, record.data(), static_cast<DWORD>(record.size()), nullptr, 0));
}
