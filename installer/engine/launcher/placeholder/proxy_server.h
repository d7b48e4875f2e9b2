#pragma once

// Stands in for the proxy server in Tessarel.exe until it exists: it serves
// no pipe, so proxy mode ends as after a failed read. The server replaces
// this file with the same members.

#include <windows.h>

#include "kr/stringx.h"

class CNamedPipeHandler {
public:
    DWORD ReadMessage() { return ERROR_NOT_SUPPORTED; }
    bool HasPayload() const noexcept { return false; }
};

class CProxyServer {
public:
    void Init(const _stringx&) {}
    DWORD DispatchMessage() { return ERROR_NOT_SUPPORTED; }

    CNamedPipeHandler* PipeHandler() const noexcept { return nullptr; }
    bool QuitRequested() const noexcept { return false; }
    DWORD Status() const noexcept { return ERROR_NOT_SUPPORTED; }
};
