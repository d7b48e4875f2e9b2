#include "conditions/KrpInstalledCondition.h"

#include "conditions/GuidString.h"
#include "kr/file_system.h"
#include "kr/trace_log.h"

namespace {

#define CONDITION_TRACE(...) TraceFormat({L"Condition", __LINE__}, __VA_ARGS__)

constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr DWORD kMaxLogPath = 260;

RegistryKeyOpen g_open = RegOpenKeyExW;

class OpenKey {
public:
    OpenKey() = default;
    ~OpenKey()
    {
        if (m_key)
            RegCloseKey(m_key);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    bool Open(HKEY root, const _stringx& path)
    {
        if (g_open(root, path.c_str(), 0, KEY_READ, &m_key) == ERROR_SUCCESS)
            return true;
        m_key = nullptr;
        return false;
    }
    HKEY Get() const noexcept { return m_key; }

private:
    HKEY m_key = nullptr;
};

DWORD ReadDword(HKEY key, const wchar_t* name)
{
    DWORD value = 0;
    DWORD type = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return 0;
    return value;
}

_stringx ReadString(HKEY key, const wchar_t* name)
{
    wchar_t value[kMaxLogPath + 1] = {};
    DWORD type = 0;
    DWORD size = kMaxLogPath * sizeof(wchar_t);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return _stringx();
    return _stringx(value);
}

} // namespace

RegistryKeyOpen SetKrpInstalledKeyOpen(RegistryKeyOpen open)
{
    const RegistryKeyOpen previous = g_open;
    g_open = open ? open : RegOpenKeyExW;
    return previous;
}

CKrpInstalledCondition::CKrpInstalledCondition()
{
    VariantInit(&m_expected);
}

CKrpInstalledCondition::~CKrpInstalledCondition()
{
    VariantClear(&m_expected);
}

HRESULT CKrpInstalledCondition::Validate()
{
    m_versionTest = m_checkPerUser = m_checkLog = false;
    m_productCode = ReadAttribute(L"ProductCode");
    const _stringx version = ReadAttribute(L"ProductVersion");
    if (!IsValidGuidString(m_productCode)) {
        CONDITION_TRACE(L"KrpInstalled condition: invalid product code specified (%s)", m_productCode.c_str());
        return E_INVALIDARG;
    }
    if (!version.empty()) {
        Attributes().SetAttribute(L"Convert", L"ProductVersion");
        HRESULT hr = CConditionComparator::Parse();
        if (FAILED(hr)) {
            CONDITION_TRACE(L"KrpInstalled condition: invalid comparator specified (%x)", hr);
            return hr;
        }
        hr = CConditionValueTypeConverter::Parse();
        if (FAILED(hr)) {
            CONDITION_TRACE(L"KrpInstalled condition: invalid type conversion specified (%x)", hr);
            return hr;
        }
        m_versionTest = true;
        hr = Convert(version, &m_expected);
        if (FAILED(hr)) {
            CONDITION_TRACE(L"KrpInstalled: failed to validate condition conversion value, error %x", hr);
            return hr;
        }
    }
    m_checkPerUser = !(ReadAttribute(L"CheckPerUser") == L"no");
    m_checkLog = !(ReadAttribute(L"VerifyLogExists") == L"no");
    return S_OK;
}

// A key that cannot be opened, for whatever reason, is a product that is not
// registered there: reading on without a key would find no values and, with
// neither a version nor a log test, report the product installed.
HRESULT CKrpInstalledCondition::Evaluate(bool* result)
{
    *result = false;
    _stringx path(kUninstallKey);
    path += BracedGuidString(m_productCode);
    OpenKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, path) && !(m_checkPerUser && key.Open(HKEY_CURRENT_USER, path)))
        return S_OK;

    bool versionMatches = true;
    if (m_versionTest) {
        VARIANT installed;
        VariantInit(&installed);
        V_VT(&installed) = VT_UI4;
        V_UI4(&installed) = ReadDword(key.Get(), L"Version");
        const HRESULT hr = Compare(installed, m_expected, &versionMatches);
        if (FAILED(hr)) {
            CONDITION_TRACE(L"KrpInstalled: failed to evaluate version comparison, error %x", hr);
            return hr;
        }
    }
    bool logExists = true;
    if (m_checkLog) {
        const _stringx logFile = ReadString(key.Get(), L"LogFile");
        logExists = !logFile.empty() && kr::path_test(logFile, kr::path_accept_file);
    }
    *result = versionMatches && logExists;
    return S_OK;
}

std::unique_ptr<CCondition> MakeKrpInstalledCondition()
{
    return std::make_unique<CKrpInstalledCondition>();
}
