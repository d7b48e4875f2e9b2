#include "parcels/EmbeddedCallback.h"

#include "parcels/ProxyHandler.h"

namespace {

std::optional<PipeBytes> Exchange(CProxyHandler& pipe, const std::vector<BYTE>& record)
{
    pipe.WriteMessage(kPipeCallback, record.data(), static_cast<DWORD>(record.size()));
    return pipe.ReadReply();
}

} // namespace

std::optional<CallbackAnswer> ExchangeCallback(CProxyHandler& pipe, const std::vector<BYTE>& record)
{
    const std::optional<PipeBytes> reply = Exchange(pipe, record);
    CallbackAnswer answer;
    if (!reply || !ReadCallbackAnswer(*reply, answer))
        return std::nullopt;
    return answer;
}

std::optional<QueryAnswer> ExchangeQueryCallback(CProxyHandler& pipe, const std::vector<BYTE>& record)
{
    const std::optional<PipeBytes> reply = Exchange(pipe, record);
    QueryAnswer answer;
    if (!reply || !ReadQueryAnswer(*reply, answer))
        return std::nullopt;
    return answer;
}

HRESULT CallbackStatus(LONG status) noexcept
{
    return status > 0 ? HRESULT_FROM_WIN32(static_cast<DWORD>(status)) : static_cast<HRESULT>(status);
}
