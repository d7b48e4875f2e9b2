#include "parcels/ProxyConversation.h"

namespace {

constexpr DWORD kSuiteExtensionCall = 9;
constexpr DWORD kNoReply = ERROR_PIPE_NOT_CONNECTED; // 233
constexpr DWORD kNotSupported = ERROR_NOT_SUPPORTED;  // 50

} // namespace

void ServeExtensionRequest(CProxyHandler& proxy, PipeBytes payload)
{
    IProxyHandler* handler = proxy.FindHandler(kSuiteExtensionCall);
    if (!handler) {
        proxy.WriteMessage(kPipeReply | kPipeRequest, &kNotSupported, sizeof(kNotSupported));
        return;
    }
    ProxyRequestView request;
    if (!ReadProxyRequest(payload, request))
        request.data1 = {};
    handler->HandleRequest(&proxy, request.data1.empty() ? nullptr : request.data1.data(),
                           static_cast<DWORD>(request.data1.size()));
}

DWORD ReadFinalResult(CProxyHandler& proxy, DWORD& result)
{
    result = 0;
    if (const DWORD error = proxy.ReadMessage())
        return error;
    if (!proxy.HasPayload() || !ReadWord(proxy.Payload(), result))
        return kNoReply;
    return 0;
}

HRESULT HresultOfStatus(DWORD status) noexcept
{
    return static_cast<LONG>(status) > 0 ? HRESULT_FROM_WIN32(status) : static_cast<HRESULT>(status);
}
