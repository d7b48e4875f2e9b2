#include "exit_status.h"

#include "kr/trace_log.h"

namespace {

constexpr DWORD kFacilityMask = 0x1FFF0000;
constexpr DWORD kUserCancelled = 1602;
constexpr DWORD kInstallFailure = ERROR_INSTALL_FAILURE; // 1603

} // namespace

DWORD MapExitStatus(HRESULT status)
{
    const DWORD value = static_cast<DWORD>(status);
    DWORD exit_code = value;
    if (((value & kFacilityMask) >> 16) == FACILITY_WIN32) {
        exit_code = value & 0xFFFF;
        // A failure must not read as success to the caller.
        if (FAILED(status) && exit_code == 0)
            exit_code = kInstallFailure;
    }
    else if (status == S_OK || status == S_FALSE)
        exit_code = 0;
    else if (status == E_ABORT)
        exit_code = kUserCancelled;
    TraceFormat({L"Tessarel", __LINE__}, L"Original exit status: 0x%08x, final exit status: 0x%08x", value,
                exit_code);
    return exit_code;
}
