#include "actions/ActionCallDll.h"

#include "actions/ActionEngine.h"
#include "kr/trace_log.h"

#define ACTION_SOURCE TraceSource{L"Action", __LINE__}

void CActionCallDll::InitDefaults()
{
    UseFixedCodes(0x80040715);
}

HRESULT CActionCallDll::Execute(CParcel* parcel)
{
    const _stringx file = Expand(m_file, parcel);
    TraceFormat(ACTION_SOURCE, L"Launching Dll action '%s' from file '%s'", m_id.c_str(), file.c_str());
    IActionEngine* engine = ActionEngine();
    if (!engine)
        return E_UNEXPECTED;
    // The function name is taken as written.
    const LONG result = CallThroughProxy(*engine, [&](IActionProxyCalls& proxy) {
        return proxy.CallDll(file, m_arguments, parcel, NeedsElevatedProxy());
    });
    return ProcessReturnCode(static_cast<DWORD>(result));
}
