#include "parcels/EmbeddedExtensionCall.h"

#include "parcels/ProxyHandler.h"

namespace {

HRESULT AsResult(DWORD status) noexcept
{
    return static_cast<LONG>(status) > 0 ? HRESULT_FROM_WIN32(status) : static_cast<HRESULT>(status);
}

} // namespace

ExtensionCallOutcome CallEngineExtension(CProxyHandler* pipe, DWORD code, const std::vector<BYTE>& record)
{
    ExtensionCallOutcome outcome;
    if (!pipe) {
        outcome.status = HRESULT_FROM_WIN32(ERROR_PIPE_NOT_CONNECTED);
        return outcome;
    }
    const DWORD accepted =
        pipe->SendRequest(code, 0, record.data(), static_cast<DWORD>(record.size()), nullptr, 0);
    if (accepted != 0) {
        outcome.status = AsResult(accepted);
        return outcome;
    }
    if (const DWORD error = pipe->ReadMessage()) {
        outcome.status = AsResult(error);
        return outcome;
    }
    ExtensionCallResult result;
    if (!pipe->HasPayload() || !ReadExtensionCallResult(pipe->Payload(), result)) {
        outcome.status = S_FALSE;
        return outcome;
    }
    outcome.status = result.status;
    outcome.result = std::move(result);
    return outcome;
}
