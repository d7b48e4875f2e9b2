#include "parcels/RebootHandler.h"

#include <algorithm>

#include "kr/registry.h"
#include "kr/system_info.h"
#include "kr/trace_log.h"

#define REBOOT_SOURCE TraceSource{L"RebootHandler", __LINE__}

namespace {

const wchar_t kRunOnce[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const wchar_t kRunOnceEx[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx";
const wchar_t kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingRenames[] = L"PendingFileRenameOperations";

} // namespace

CRebootHandler::~CRebootHandler() = default;

LONG CRebootHandler::CountRegistryValues(HKEY root, const _stringx& keyPath, bool view64)
{
    const REGSAM view = view64 && kr::is_64bit_os() ? KEY_WOW64_64KEY : 0;
    kr::stringx_vector names;
    if (!kr::reg_enum_value_names(root, keyPath, view, names))
        return 0;
    return static_cast<LONG>(names.size());
}

LONG CRebootHandler::ReadValueSize(const _stringx& keyPath, const _stringx& valueName)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return 0;
    DWORD size = 0;
    const LONG result = RegQueryValueExW(key, valueName.c_str(), nullptr, nullptr, nullptr, &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? static_cast<LONG>(size) : 0;
}

RebootIndicators CRebootHandler::ReadIndicators()
{
    RebootIndicators now;
    now.hklmRunOnce = CountRegistryValues(HKEY_LOCAL_MACHINE, kRunOnce, false);
    now.hklmRunOnce64 = CountRegistryValues(HKEY_LOCAL_MACHINE, kRunOnce, true);
    now.hkcuRunOnce = CountRegistryValues(HKEY_CURRENT_USER, kRunOnce, false);
    now.hklmRunOnceEx = CountRegistryValues(HKEY_LOCAL_MACHINE, kRunOnceEx, false);
    now.hklmRunOnceEx64 = CountRegistryValues(HKEY_LOCAL_MACHINE, kRunOnceEx, true);
    now.pendingRenamesSize = ReadValueSize(kSessionManager, kPendingRenames);
    return now;
}

void CRebootHandler::TakeSnapshot()
{
    m_snapshot = ReadIndicators();
    m_snapshotTaken = true;
}

bool CRebootHandler::IndicatorsChanged()
{
    // Without a snapshot nothing can have grown: values that were there before
    // the package ran, such as the suite's own resume entry, are no sign.
    if (!m_snapshotTaken)
        return false;
    const RebootIndicators now = ReadIndicators();
    const struct {
        LONG then;
        LONG now;
        const wchar_t* message;
    } checks[] = {
        {m_snapshot.hklmRunOnce, now.hklmRunOnce, L"HKLM RunOnce key appears to have been updated, reboot is required"},
        {m_snapshot.hkcuRunOnce, now.hkcuRunOnce, L"HKCU RunOnce key appears to have been updated, reboot is required"},
        {m_snapshot.hklmRunOnce64, now.hklmRunOnce64,
         L"HKLM 64-bit RunOnce key appears to have been updated, reboot is required"},
        {m_snapshot.hklmRunOnceEx, now.hklmRunOnceEx,
         L"HKLM RunOnceEx key appears to have been updated, reboot is required"},
        {m_snapshot.hklmRunOnceEx64, now.hklmRunOnceEx64,
         L"HKLM 64-bit RunOnceEx key appears to have been updated, reboot is required"},
        {m_snapshot.pendingRenamesSize, now.pendingRenamesSize,
         L"Pending file rename operations appear to have been added, reboot is required"},
    };
    for (const auto& check : checks) {
        if (check.now > check.then) {
            TraceFormat(REBOOT_SOURCE, L"%s", check.message);
            return true;
        }
    }
    TraceFormat(REBOOT_SOURCE, L"No registry indicators appear to signal a reboot is pending");
    return false;
}

bool CRebootHandler::IsRebootRequired(DWORD exitCode, bool testIndicators)
{
    std::vector<DWORD> codes;
    GetRebootCodes(codes);
    const bool indicators = testIndicators && IndicatorsChanged();
    return indicators || std::find(codes.begin(), codes.end(), exitCode) != codes.end();
}
