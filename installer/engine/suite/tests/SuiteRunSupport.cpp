#include "SuiteRunSupport.h"

#include <cstring>
#include <filesystem>
#include <fstream>

#include "kr/registry.h"
#include "support/ConditionTestSupport.h"
#include "staging/StagingPaths.h"

namespace fs = std::filesystem;

namespace engine_testing {

namespace {

constexpr wchar_t kRunOnceKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

std::wstring StateKey()
{
    return std::wstring(L"Software\\Korvanstilmer\\SuiteInstallers\\") + kRunSuiteId;
}

void RemoveSuiteEntries()
{
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunOnceKey, kRunSuiteId);
    RegDeleteTreeW(HKEY_CURRENT_USER, StateKey().c_str());
}

BOOL WINAPI RecordRestart(UINT, DWORD)
{
    ++RestartRecorder::Count();
    return TRUE;
}

} // namespace

std::wstring OwnFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path().wstring();
}

std::wstring StandInMd5()
{
    return GetFileMD5Text((OwnFolder() + L"\\parcel_package_standin.exe").c_str()).c_str();
}

std::wstring RunOnceEntry()
{
    return kr::reg_read_string(HKEY_CURRENT_USER, kRunOnceKey, kRunSuiteId, _stringx()).c_str();
}

long RebootValue()
{
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_CURRENT_USER, StateKey().c_str(), L"Reboot", RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        ERROR_SUCCESS)
        return -1;
    return static_cast<long>(value);
}

bool StateKeyExists()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, StateKey().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

SuiteRun::SuiteRun()
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    static int serial = 0;
    m_root = (fs::path(temp) / (L"suite_run_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                                std::to_wstring(++serial)))
                 .wstring();
    fs::remove_all(m_root);
    fs::create_directories(m_root);
    RemoveSuiteEntries();
    engine = NewEngine();
    engine->UseSetupStream((OwnFolder() + L"\\engine-run-fixtures\\payload.exe").c_str());
    sink = std::make_unique<EventSink>(*engine.Get());
}

SuiteRun::~SuiteRun()
{
    ReleaseEngine();
    RemoveSuiteEntries();
    std::error_code ignored;
    fs::remove_all(m_root, ignored);
}

void SuiteRun::ReleaseEngine()
{
    sink.reset();
    engine = nullptr;
}

std::wstring SuiteRun::SuiteXml(const std::vector<TransactionSpec>& transactions,
                                const std::wstring& setupAttributes, const std::wstring& extra) const
{
    std::wstring parcels;
    std::wstring mapping;
    for (const TransactionSpec& transaction : transactions) {
        const bool grouped = transaction.size() != 1;
        if (grouped)
            parcels += L"<Transaction>";
        for (const ParcelSpec& parcel : transaction) {
            const std::wstring md5 = parcel.md5.empty() ? StandInMd5() : parcel.md5;
            const std::wstring arguments = parcel.id + L" log:" + CallsLog() + L" probe:" + kRunSuiteId +
                                           (parcel.arguments.empty() ? L"" : L" " + parcel.arguments);
            const std::wstring package = !parcel.package.empty()
                                             ? parcel.package
                                             : L"<Package><Folder Stream=\"s\"><File Name=\"" + parcel.entry +
                                                   L"\" MD5=\"" + md5 + L"\"/></Folder></Package>";
            parcels += L"<Exe Id=\"" + parcel.id + L"\" " + parcel.parcelAttributes + L">" + package;
            for (const wchar_t* kind : {L"Install", L"Remove", L"Repair"})
                parcels += L"<Operation Name=\"" + std::wstring(kind) + L"\" Target=\"" + parcel.entry +
                           L"\" Silent=\"" + arguments + L" " + kind + L"\" " + parcel.operationAttributes + L"/>";
            parcels += L"</Exe>";
            mapping += (mapping.empty() ? L"" : L" ") + parcel.id;
        }
        if (grouped)
            parcels += L"</Transaction>";
    }
    return L"<?xml version=\"1.0\"?><Setup xmlns=\"korvanstilmer/2018/bootstrap\" SuiteId=\"" +
           std::wstring(kRunSuiteId) + L"\" " + setupAttributes + L">" + extra +
           L"<Mode><Install><When><All/></When></Install></Mode>"
           L"<SelectionTree><Selection Name=\"Everything\" Install=\"" + mapping + L"\"/></SelectionTree>"
           L"<Parcels>" + parcels + L"</Parcels></Setup>";
}

HRESULT SuiteRun::Initialize(const std::wstring& setupXml, const std::wstring& arguments)
{
    const std::wstring path = m_root + L"\\setup.xml";
    {
        std::ofstream out(fs::path(path), std::ios::binary);
        const std::string bytes(setupXml.begin(), setupXml.end());
        out << bytes;
    }
    std::wstring line = L"/silent /f3:" + path + (arguments.empty() ? L"" : L" " + arguments);
    BSTR text = SysAllocString(line.c_str());
    bool exitNow = false;
    const HRESULT hr = engine->Initialize(text, &exitNow);
    SysFreeString(text);
    return hr;
}

void SuiteRun::DetectInstalled(const std::vector<std::wstring>& parcelIds)
{
    for (const std::wstring& id : parcelIds) {
        CParcel* parcel = engine->FindParcel(id.c_str());
        if (!parcel)
            continue;
        parcel->SetConditionSlot(L"Detect");
        parcel->SetCondition(std::make_unique<testing_support::ScriptedCondition>(
            std::make_shared<testing_support::ConditionRecord>(), true));
    }
}

std::vector<std::wstring> SuiteRun::Calls() const
{
    std::ifstream in(fs::path(CallsLog()), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end = text.find(L'\n'); end != std::wstring::npos; end = text.find(L'\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::vector<std::wstring> SuiteRun::Started() const
{
    std::vector<std::wstring> started;
    for (const std::wstring& line : Calls()) {
        if (line.rfind(L"args=", 0) != 0)
            continue;
        const size_t id = 5;
        const size_t space = line.find(L' ', id);
        const size_t kind = line.rfind(L' ');
        started.push_back(line.substr(id, space - id) + L" " + line.substr(kind + 1));
    }
    return started;
}

RestartRecorder::RestartRecorder() : m_previous(kr::set_exit_windows_function(&RecordRestart))
{
    Count() = 0;
}

RestartRecorder::~RestartRecorder()
{
    kr::set_exit_windows_function(m_previous);
}

int& RestartRecorder::Count()
{
    static int count = 0;
    return count;
}

} // namespace engine_testing
