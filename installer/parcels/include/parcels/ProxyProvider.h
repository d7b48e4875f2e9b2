#pragma once

// What the engine-side proxy calls reach of the engine: its proxies, started
// on first need, and its automation face, which extensions running in a proxy
// call back into. The engine registers itself when it is constructed.

#include <windows.h>

#include "automation/Interfaces.h"

class CProxyHandler;

class IProxyProvider {
public:
    // The proxy for that need; null when none can be had.
    virtual CProxyHandler* GetProxyHandler(bool elevated, bool is64Bit) = 0;
    virtual CProxyHandler* GetElevatedProxy() = 0;
    // Not referenced for the caller.
    virtual IBootstrap2* Bootstrap() = 0;

protected:
    ~IProxyProvider() = default;
};

// Null until an engine registers.
IProxyProvider* ProxyProvider() noexcept;
void SetProxyProvider(IProxyProvider* provider) noexcept;
