#pragma once

// The engine's calls that run in a proxy process: extension DLL entries,
// managed-code and PowerShell entries, Quillex scripts, elevated programs and
// machine-wide registry writes. While a call waits for its result the
// extension in the proxy calls back into the engine (requests 9 and 13),
// served on the waiting thread. Built on the caller's stack for one call.

#include <windows.h>

#include <com/ComPtr.h>

#include "automation/Interfaces.h"
#include "kr/stringx.h"

class CParcel;
class CProxyExeCallbackWrapper;
class CProxyHandler;

// Results of the calls.
constexpr HRESULT kProxyExeLaunchRefused = static_cast<HRESULT>(0x80040714);
constexpr HRESULT kProxyDllCallRefused = static_cast<HRESULT>(0x80040715);
constexpr HRESULT kProxyPowerShellCallRefused = static_cast<HRESULT>(0x80040716);
constexpr HRESULT kProxyQuillexCallRefused = static_cast<HRESULT>(0x80040718);
constexpr HRESULT kProxyClrCallRefused = static_cast<HRESULT>(0x8004071C);
// No proxy could be had, or its pipe broke.
constexpr DWORD kNoProxy = ERROR_PIPE_NOT_CONNECTED; // 233

class CProxyApi {
public:
    // The caller's extension, when given, answers the proxy's calls of DLL entries.
    explicit CProxyApi(ISuiteExtension* callerExtension = nullptr);
    virtual ~CProxyApi();
    CProxyApi(const CProxyApi&) = delete;
    CProxyApi& operator=(const CProxyApi&) = delete;

    // Callers of LaunchElevatedExe that wait give one; not owned.
    void SetCallbackWrapper(CProxyExeCallbackWrapper* wrapper) noexcept { m_callbacks = wrapper; }
    DWORD LastStatus() const noexcept { return m_lastStatus; }

    // Without the wait 0 once the proxy started it; with it the program's exit code.
    LONG LaunchElevatedExe(const _stringx& program, const _stringx& arguments, const _stringx& verb, int show,
                           bool wait);
    // A DLL that this process cannot load for its format goes to a 64-bit proxy.
    HRESULT CallDll(const _stringx& dll, const _stringx& entry, CParcel* parcel, bool elevated);
    HRESULT CallPowerShell(const _stringx& managedDll, const _stringx& script, CParcel* parcel, bool elevated);
    HRESULT CallClr(const _stringx& managedDll, const _stringx& file, const _stringx& name,
                    const _stringx& arguments, CParcel* parcel, bool elevated);
    HRESULT CallQuillex(const _stringx& folder, const _stringx& function, CParcel* parcel, bool elevated,
                        bool debug, const _stringx& debugText);
    // Reads until the result of the running request, serving the proxy's requests meanwhile.
    DWORD WaitForReply(CProxyHandler& proxy);

    // HKEY_LOCAL_MACHINE through the elevated proxy: a REG_SZ value (the key
    // made when missing), or a whole key removed.
    DWORD SetRegistryValue(const _stringx& key, const _stringx& name, const void* data, DWORD length);
    DWORD DeleteRegistryKey(const _stringx& key);
    DWORD SendRegistryRequest(DWORD operation, const void* record, DWORD size);

private:
    struct CallKind;
    HRESULT CallExtension(const CallKind& kind, bool is64Bit, CParcel* parcel, bool elevated, DWORD code,
                          DWORD value, const void* data1, DWORD length1, const void* data2, DWORD length2);

    CProxyExeCallbackWrapper* m_callbacks = nullptr;
    DWORD m_lastStatus = 0;
    com::ComPtr<ISuiteExtension> m_callerExtension;
};
