#include "actions/ActionCallExe.h"

#include "kr/library_state.h"
#include "kr/processes.h"
#include "kr/trace_log.h"
#include "parcels/EngineServices.h"

namespace {

#define ACTION_SOURCE TraceSource{L"Action", __LINE__}

constexpr LONG kLaunchFailed = static_cast<LONG>(0x80040714);
constexpr HRESULT kActionFailed = static_cast<HRESULT>(0x80070643);
// SEE_MASK_NOZONECHECKS | SEE_MASK_FLAG_NO_UI
constexpr DWORD kShellMask = 0x800400;

struct NamedShow {
    const wchar_t* name;
    int show;
};

constexpr NamedShow kShows[] = {
    {L"Normal", SW_SHOWNORMAL},
    {L"Hide", SW_HIDE},
    {L"Maximize", SW_MAXIMIZE},
    {L"Show", SW_SHOW},
};

HRESULT HresultOf(DWORD code) noexcept
{
    return static_cast<LONG>(code) > 0 ? HRESULT_FROM_WIN32(code) : static_cast<HRESULT>(code);
}

} // namespace

void CActionCallExe::InitDefaults()
{
    m_wait = GetAttribute(L"WaitForExit") == L"yes";
    const _stringx window = GetAttribute(L"Window");
    m_show = SW_SHOW;
    for (const NamedShow& named : kShows) {
        if (window == named.name)
            m_show = named.show;
    }
    m_verb = GetAttribute(L"Verb");
}

LONG CActionCallExe::Launch(const _stringx& file, const _stringx& arguments)
{
    kr::launch_request request;
    request.program = file;
    request.arguments = arguments;
    request.wait_flags = kr::launch_through_shell | (m_wait ? kr::wait_for_exit : 0);
    request.timeout = INFINITE;
    request.show = m_show;
    request.extra_flags = kShellMask;
    request.verb = m_verb;
    const int result = kr::launch_process(request);
    if (result == kr::launch_not_started) {
        TraceFormat(ACTION_SOURCE, L"EXE (non-elevated) launch failed with status 0x%08x",
                    HresultOf(kr::last_result()));
        return kLaunchFailed;
    }
    LONG status = result;
    if (m_wait && status == 0) {
        status = static_cast<LONG>(kr::state().last_exit_code);
        kr::close_last_process();
    }
    return status;
}

HRESULT CActionCallExe::Execute(CParcel* parcel)
{
    const _stringx file = Expand(m_file, parcel);
    const _stringx arguments = Expand(m_arguments, parcel);
    TraceFormat(ACTION_SOURCE, L"Launching EXE action (%s) '%s', file '%s', arguments '%s'",
                m_wait ? L"wait" : L"no wait", m_id.c_str(), file.c_str(), arguments.c_str());
    LONG status = 0;
    if (NeedsElevatedProxy()) {
        IEngineServices* engine = EngineServices();
        status = engine ? engine->LaunchElevatedExe(file, arguments, m_verb, m_show, m_wait, *this) : kLaunchFailed;
    } else {
        status = Launch(file, arguments);
    }
    TraceFormat(ACTION_SOURCE, L"EXE for action '%s' returned value 0x%08x", m_id.c_str(), status);
    if (m_wait)
        return ProcessReturnCode(static_cast<DWORD>(status));
    return status == 0 ? S_OK : kActionFailed;
}

LONG CActionCallExe::OnCallback(CProxyApi*, std::span<const BYTE>)
{
    return -1;
}

LONG CActionCallExe::OnQueryValue(CProxyApi*)
{
    return -1;
}

LONG CActionCallExe::OnProcessFinished(CProxyApi*)
{
    return -1;
}
