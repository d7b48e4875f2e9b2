#include "actions/ActionCallQuillex.h"

#include "actions/ActionEngine.h"
#include "kr/trace_log.h"

#define ACTION_SOURCE TraceSource{L"Action", __LINE__}

void CActionCallQuillex::InitDefaults()
{
    UseFixedCodes(0x80040715);
}

HRESULT CActionCallQuillex::Execute(CParcel* parcel)
{
    TraceFormat(ACTION_SOURCE, L"Launching Quillex action in function '%s'", m_arguments.c_str());
    IActionEngine* engine = ActionEngine();
    if (!engine)
        return E_UNEXPECTED;
    const LONG result = CallThroughProxy(*engine, [&](IActionProxyCalls& proxy) {
        return proxy.CallQuillex(engine->GetStagingFolder(), m_arguments, parcel, NeedsElevatedProxy(),
                                 engine->IsScriptDebugging(), engine->GetSymbolPath());
    });
    return ProcessReturnCode(static_cast<DWORD>(result));
}
