#pragma once

#include <windows.h>

#include "kr/stringx.h"

class command_line;

// Proxy mode: tells the engine that the proxy is up (the event
// "KR_ProxyWaiter_" + id) and serves its pipe until it says quit.
DWORD RunProxyMode(command_line& line);

// Serves the pipe "\\.\pipe\KREngine_" + id: 87 for an empty id, 233 when a
// read fails or a payload does not arrive, else the server's status.
DWORD RunProxyWaiter(const _stringx& id);
