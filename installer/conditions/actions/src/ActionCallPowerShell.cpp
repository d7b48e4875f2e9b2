#include "actions/ActionCallPowerShell.h"

#include "actions/ActionEngine.h"
#include "actions/HalvecallFile.h"
#include "kr/trace_log.h"

namespace {

#define ACTION_SOURCE TraceSource{L"Action", __LINE__}

constexpr DWORD kRefused = 0x80040716;

} // namespace

void CActionCallPowerShell::InitDefaults()
{
    UseFixedCodes(kRefused);
}

HRESULT CActionCallPowerShell::Execute(CParcel* parcel)
{
    const _stringx halvecall = ProvideHalvecall();
    IActionEngine* engine = ActionEngine();
    if (halvecall.empty() || !engine) {
        TraceFormat(ACTION_SOURCE, L"Can't run powershell action, halvecall.dll not present");
        return static_cast<HRESULT>(kRefused);
    }
    const _stringx script = Expand(m_file, parcel);
    const LONG result = CallThroughProxy(*engine, [&](IActionProxyCalls& proxy) {
        return proxy.CallPowerShell(halvecall, script, parcel, NeedsElevatedProxy());
    });
    return ProcessReturnCode(static_cast<DWORD>(result));
}
