#pragma once

// What suite actions reach of the engine beyond its formatted strings
// (ISetupEngine) and its elevation and elevated launch (IEngineServices):
// the staging folder, the setup stream, the script-debug settings, and the
// proxy calls that run DLL, PowerShell, managed-code and Quillex actions.
// The engine object implements it next to IEngineServices.

#include <windows.h>

#include <memory>

#include "kr/stringx.h"

class CParcel;

// The calls of one action into a proxy process (CProxyApi); each returns the
// called code's result or the failure of the call.
class IActionProxyCalls {
public:
    virtual ~IActionProxyCalls() = default;

    virtual LONG CallDll(const _stringx& dllPath, const _stringx& entryPoint, CParcel* parcel, bool elevated) = 0;
    virtual LONG CallPowerShell(const _stringx& halvecallPath, const _stringx& script, CParcel* parcel,
                                bool elevated) = 0;
    virtual LONG CallClr(const _stringx& halvecallPath, const _stringx& file, const _stringx& name,
                         const _stringx& arguments, CParcel* parcel, bool elevated) = 0;
    virtual LONG CallQuillex(const _stringx& engineFolder, const _stringx& function, CParcel* parcel, bool elevated,
                             bool scriptDebug, const _stringx& symbolPath) = 0;
};

class IActionEngine {
public:
    virtual _stringx GetStagingFolder() = 0;
    // Writes the setup stream's file of that name to path; false when the
    // stream is not open or holds no such file.
    virtual bool ExtractStreamFile(const _stringx& name, const _stringx& path) = 0;
    virtual bool IsScriptDebugging() = 0;
    virtual _stringx GetSymbolPath() = 0;
    // A new proxy caller for one call, released after it; none when the
    // proxy calls are not available.
    virtual std::unique_ptr<IActionProxyCalls> NewProxyCalls() = 0;

protected:
    ~IActionEngine() = default;
};

// The process's engine as actions see it; null without one.
IActionEngine* ActionEngine() noexcept;

// The result of a proxy call that found no proxy connection.
constexpr LONG kNoProxyConnection = 233;

// Makes a proxy caller for one call and runs the call on it.
template <class Call>
LONG CallThroughProxy(IActionEngine& engine, Call call)
{
    const std::unique_ptr<IActionProxyCalls> proxy = engine.NewProxyCalls();
    return proxy ? call(*proxy) : kNoProxyConnection;
}
