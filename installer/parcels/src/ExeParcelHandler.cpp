#include "parcels/ExeParcelHandler.h"

#include "kr/file_system.h"
#include "kr/library_state.h"
#include "kr/processes.h"
#include "kr/trace_log.h"
#include "parcels/EngineServices.h"
#include "parcels/Operation.h"
#include "parcels/Parcel.h"
#include "parcels/ParcelRoutines.h"
#include "parcels/RebootCodes.h"

#define EXE_SOURCE TraceSource{L"ExeParcelHandler", __LINE__}

namespace {

// The HRESULT of ERROR_FILE_NOT_FOUND.
constexpr HRESULT kFileNotFound = static_cast<HRESULT>(0x80070002);
// SEE_MASK_NOZONECHECKS | SEE_MASK_FLAG_NO_UI.
constexpr DWORD kShellFlags = 0x800400;

// A positive status or exit code becomes an HRESULT of facility Win32.
HRESULT StatusOf(LONG value)
{
    return value > 0 ? static_cast<HRESULT>(0x80070000u | (static_cast<DWORD>(value) & 0xFFFF)) : value;
}

} // namespace

std::unique_ptr<CParcelHandler> CExeParcelHandler::Make(CParcel& parcel)
{
    return std::make_unique<CExeParcelHandler>(parcel);
}

HRESULT CExeParcelHandler::Run()
{
    COperation* operation = GetOperation();
    if (!operation)
        return S_FALSE;
    CParcel& parcel = GetParcel();
    IEngineServices& engine = *EngineServices();

    TraceFormat(EXE_SOURCE, L"Running EXE parcel operation");
    TakeSnapshot();
    parcel.Fire_OnParcelEvent(ParcelProgressStateOf(operation->GetKind()));

    _stringx target = parcel.FormatString(operation->GetTarget());
    if (!target.is_absolute_path())
        target = parcel.GetPackagePath().path_combine(target);
    TraceFormat(EXE_SOURCE, L"Will launch exe: %s", target.c_str());
    if (!kr::path_test(target, kr::path_accept_file)) {
        TraceFormat(EXE_SOURCE, L"Parcel target exe does not exist");
        return kFileNotFound;
    }

    const _stringx raw = engine.IsSilent() ? operation->GetSilentCommandLine() : operation->GetCommandLine();
    _stringx commandLine = parcel.FormatString(raw);
    CParcelLoggingParameters* logging = parcel.LoggingParameters();
    if (!engine.GetParcelLogFolder().empty() && logging) {
        const _stringx logCommandLine = parcel.FormatString(logging->GetCommandLine());
        if (!logCommandLine.empty())
            commandLine = JoinWithSpace(commandLine, logCommandLine);
        else
            TraceFormat(EXE_SOURCE, L"EXE parcel: empty log command line provided for parcel");
    }
    TraceFormat(EXE_SOURCE, L"EXE parcel command line: %s", raw.c_str());
    TraceFormat(EXE_SOURCE, L"EXE parcel resolved command line: %s", MaskHiddenPropertyValues(commandLine).c_str());

    LONG result = 0;
    if (!parcel.IsElevationRequired() || engine.IsElevated())
        result = Launch(target, commandLine);
    else
        result = engine.LaunchElevatedExe(target, commandLine, _stringx(), SW_SHOWNORMAL, true, *this);
    m_lastStatus = StatusOf(result);

    TraceFormat(EXE_SOURCE, L"Final result status for EXE parcel: %x", m_lastStatus);
    parcel.Fire_OnParcelEvent(eppsComplete);
    return IsRebootRequired(static_cast<DWORD>(m_lastStatus) & 0xFFFF, false) ? m_lastStatus : S_OK;
}

LONG CExeParcelHandler::Launch(const _stringx& target, const _stringx& commandLine)
{
    kr::launch_request request;
    request.program = target;
    request.arguments = commandLine;
    request.working_folder = target.path_folder();
    request.wait_flags = kr::launch_through_shell | kr::wait_for_exit;
    request.timeout = INFINITE;
    request.show = SW_SHOWNORMAL;
    request.extra_flags = kShellFlags;
    request.verb = L"open";
    const int launched = kr::launch_process(request);
    TraceFormat(EXE_SOURCE, L"Launch EXE result: %x", launched);
    if (launched == kr::launch_not_started)
        return static_cast<LONG>(kr::last_result());
    const LONG exitCode = static_cast<LONG>(kr::state().last_exit_code);
    kr::close_last_process();
    return exitCode;
}

bool CExeParcelHandler::IsRebootStatus()
{
    return IsRebootRequired(static_cast<DWORD>(m_lastStatus) & 0xFFFF, true);
}

void CExeParcelHandler::GetRebootCodes(std::vector<DWORD>& codes)
{
    codes = ParseRebootCodes(GetParcel().GetAttributeNoCase(L"RebootCodes"));
}

LONG CExeParcelHandler::OnCallback(CProxyApi*, std::span<const BYTE>)
{
    return -1;
}

LONG CExeParcelHandler::OnQueryValue(CProxyApi*)
{
    // Tells the user interface that the parcel is still alive.
    GetParcel().Fire_OnParcelProgress(_stringx(), 0, 0, static_cast<EnumProgressFlags>(0), nullptr);
    return 0;
}

LONG CExeParcelHandler::OnProcessFinished(CProxyApi*)
{
    return 0;
}
