#include "actions/ActionCallClr.h"

#include "actions/ActionEngine.h"
#include "actions/HalvecallFile.h"
#include "kr/trace_log.h"

namespace {

#define ACTION_SOURCE TraceSource{L"Action", __LINE__}

constexpr DWORD kRefused = 0x8004071C;

} // namespace

void CActionCallClr::InitDefaults()
{
    m_name = GetAttribute(L"Name");
    UseFixedCodes(kRefused);
}

HRESULT CActionCallClr::Execute(CParcel* parcel)
{
    const _stringx halvecall = ProvideHalvecall();
    IActionEngine* engine = ActionEngine();
    if (halvecall.empty() || !engine) {
        TraceFormat(ACTION_SOURCE, L"Can't run CLR action, halvecall.dll not present");
        return static_cast<HRESULT>(kRefused);
    }
    const _stringx file = Expand(m_file, parcel);
    const LONG result = CallThroughProxy(*engine, [&](IActionProxyCalls& proxy) {
        return proxy.CallClr(halvecall, file, m_name, m_arguments, parcel, NeedsElevatedProxy());
    });
    return ProcessReturnCode(static_cast<DWORD>(result));
}
