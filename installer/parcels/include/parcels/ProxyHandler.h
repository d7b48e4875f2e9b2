#pragma once

// One end of the pipe between the engine and a proxy: the hello, requests and
// their first reply, quit, and the handlers for requests that arrive from the
// other side while a request of this side runs.

#include <windows.h>

#include <map>
#include <optional>

#include "kr/stringx.h"
#include "parcels/NamedPipeHandler.h"
#include "parcels/ProxyConnection.h"

class CProxyHandler;

// Serves one request code arriving from the other side; writes every reply
// the request needs itself.
class IProxyHandler {
public:
    virtual HRESULT HandleRequest(CProxyHandler* pipe, const BYTE* data1, DWORD length1) = 0;

protected:
    ~IProxyHandler() = default;
};

class CProxyHandler : public CNamedPipeHandler, public IProxyConnection {
public:
    // Engine side: a connected pipe and the proxy's process (both owned; the process may be null).
    CProxyHandler(HANDLE pipe, HANDLE process) noexcept;
    // Proxy side: opens the pipe by name.
    explicit CProxyHandler(const _stringx& pipe_name);
    // Sends quit when connected, then closes the pipe.
    ~CProxyHandler() override;

    // 0 once a client is connected, else the error. On a pipe made for
    // overlapped use the wait ends after timeout ms (WAIT_TIMEOUT) or when the
    // proxy's process ends (ERROR_BROKEN_PIPE), whichever comes first.
    DWORD WaitForConnection(DWORD timeout = INFINITE);
    // Sends the hello with this process's id; the proxy's status, 233 when no
    // reply came. Connected afterwards whenever a reply came.
    DWORD Handshake();
    // One request and its first reply's status: 87 for null data with a
    // length, the write's error, or 233 when no reply of at least one word came.
    DWORD SendRequest(DWORD code, DWORD value, const void* data1, DWORD length1, const void* data2,
                      DWORD length2) override;
    CNamedPipeHandler* Channel() noexcept override { return this; }
    // The next message's payload, or nothing after a failed read.
    std::optional<PipeBytes> ReadReply();
    // Tells the proxy to end and waits up to 15 s for its process.
    void Quit();

    bool Connected() const noexcept { return connected_; }
    // The proxy's process; null when it is not known.
    HANDLE Process() const noexcept { return process_; }
    // A handler whose start failed is closed without quit.
    void ForgetConnection() noexcept { connected_ = false; }

    void AddHandler(DWORD code, IProxyHandler* handler) { handlers_[code] = handler; }
    void RemoveHandler(DWORD code);
    IProxyHandler* FindHandler(DWORD code) const;

private:
    std::map<DWORD, IProxyHandler*> handlers_;
    bool connected_ = false;
    HANDLE process_ = nullptr;
};
