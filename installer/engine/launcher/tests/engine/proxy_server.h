#pragma once

// A test proxy server for the launcher entry, linked only into the launcher's
// test build: the pipe framing of the real one (16-byte header, then the
// payload), with no request handlers: a request is answered with status 50,
// quit ends the loop with status 0, any other message gets its reply type and
// status 0. A header that does not arrive whole, or that announces more than
// 16 MB, fails the read. The real server offers the same members.

#include <windows.h>

#include <memory>
#include <vector>

#include "kr/stringx.h"

class CNamedPipeHandler {
public:
    explicit CNamedPipeHandler(HANDLE pipe) noexcept : pipe_(pipe) {}
    virtual ~CNamedPipeHandler();
    CNamedPipeHandler(const CNamedPipeHandler&) = delete;
    CNamedPipeHandler& operator=(const CNamedPipeHandler&) = delete;

    DWORD ReadMessage();
    DWORD WriteMessage(DWORD type, const void* payload, DWORD size);
    bool HasPayload() const noexcept { return size_ == 0 || !payload_.empty(); }
    DWORD Type() const noexcept { return type_; }

private:
    HANDLE pipe_;
    DWORD type_ = 0xFFFFFFFF;
    DWORD size_ = 0;
    std::vector<BYTE> payload_;
};

class CProxyServer {
public:
    void Init(const _stringx& pipe_name);
    DWORD DispatchMessage();

    CNamedPipeHandler* PipeHandler() const noexcept { return handler_.get(); }
    bool QuitRequested() const noexcept { return quit_; }
    DWORD Status() const noexcept { return status_; }
    void SetStatus(DWORD status) noexcept { status_ = status; }

private:
    std::unique_ptr<CNamedPipeHandler> handler_;
    DWORD status_ = 0;
    bool quit_ = false;
};
