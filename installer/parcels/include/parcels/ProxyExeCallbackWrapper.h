#pragma once

// The call-backs that arrive while a program runs in the elevated proxy,
// handed by the waiting loop of CProxyApi::LaunchElevatedExe to whoever
// started the program.

#include <windows.h>

#include <span>

class CProxyApi;

class CProxyExeCallbackWrapper {
public:
    // Sees every call-back first; anything but -1 means handled.
    virtual LONG OnCallback(CProxyApi* proxy, std::span<const BYTE> payload) = 0;
    // The answer sent back to the proxy (-1 is sent as 0).
    virtual LONG OnQueryValue(CProxyApi* proxy) = 0;
    // The program has ended; the result is not used.
    virtual LONG OnProcessFinished(CProxyApi* proxy) = 0;

protected:
    ~CProxyExeCallbackWrapper() = default;
};
