#pragma once

// What the handlers that hold a long conversation with a proxy share: a
// request handler kept on the connection for a scope, the proxy's requests
// served by the extension registered for code 9, and the result that follows
// the proxy's "ended" call-back.

#include <windows.h>

#include "parcels/PipeRecords.h"
#include "parcels/ProxyHandler.h"

// A handler in the connection's map for as long as it lives.
class ProxyHandlerRegistration {
public:
    ProxyHandlerRegistration(CProxyHandler& proxy, DWORD code, IProxyHandler* handler) : proxy_(proxy), code_(code)
    {
        proxy_.AddHandler(code_, handler);
    }
    ~ProxyHandlerRegistration() { proxy_.RemoveHandler(code_); }
    ProxyHandlerRegistration(const ProxyHandlerRegistration&) = delete;
    ProxyHandlerRegistration& operator=(const ProxyHandlerRegistration&) = delete;

private:
    CProxyHandler& proxy_;
    DWORD code_;
};

// A request of the proxy while a parcel's request runs: the extension
// registered for code 9 serves it whatever its code; {50} without one.
void ServeExtensionRequest(CProxyHandler& proxy, PipeBytes payload);

// Reads the result message that follows the proxy's "ended" call-back into
// result. A lost result is no success: the read's error, or 233 when the
// message carries no result word.
DWORD ReadFinalResult(CProxyHandler& proxy, DWORD& result);

// A positive status or Win32 code becomes an HRESULT of facility Win32.
HRESULT HresultOfStatus(DWORD status) noexcept;
