#include "proxy_mode.h"

#include "command_line.h"
#include "kr/holders.h"
#include "parcels/ProxyServer.h"

namespace {

constexpr DWORD kPipeBroken = ERROR_PIPE_NOT_CONNECTED; // 233

} // namespace

DWORD RunProxyMode(command_line& line)
{
    kr::bstr_holder value;
    line.find_switch(L"embedded:", value.address(), false, true);
    const _stringx id(value.get());

    const _stringx event_name = L"KR_ProxyWaiter_" + id;
    if (HANDLE started = OpenEventW(GENERIC_ALL, FALSE, event_name.c_str())) {
        SetEvent(started);
        CloseHandle(started);
    }
    return RunProxyWaiter(id);
}

DWORD RunProxyWaiter(const _stringx& id)
{
    if (id.empty())
        return ERROR_INVALID_PARAMETER;
    CProxyServer server;
    server.Init(L"\\\\.\\pipe\\KREngine_" + id);
    while (!server.QuitRequested()) {
        // A server without a pipe reads nothing: that is a failed read too.
        CNamedPipeHandler* pipe = server.PipeHandler();
        if (!pipe || pipe->ReadMessage() != 0 || !pipe->HasPayload())
            return kPipeBroken;
        server.DispatchMessage();
    }
    return server.Status();
}
