#pragma once

// Makes the launcher's automation interfaces marshallable inside the process
// without registry entries: each interface's proxy/stub class object is
// registered under the interface's own id, on the thread that constructs the
// object (every apartment that marshals registers for itself).

#include <windows.h>

#include "proxy_stub_class.h"

#include <vector>

// Proxy/stub code for a set of interfaces: the merged proxy file list and the
// interfaces to register from it, in order.
struct proxy_stub_set {
    const tagProxyFileInfo** files;
    const IID* const* interfaces;
    size_t count;
};

// The launcher's own set (the interfaces of its type library).
const proxy_stub_set& LauncherProxyStubs();

class CProxyStubRegistration {
public:
    explicit CProxyStubRegistration(const proxy_stub_set& set);
    ~CProxyStubRegistration();
    CProxyStubRegistration(const CProxyStubRegistration&) = delete;
    CProxyStubRegistration& operator=(const CProxyStubRegistration&) = delete;

    // Registers every interface of the set; S_OK whatever the single results.
    HRESULT RegisterAll();
    HRESULT Register(REFIID iid, REFCLSID clsid);
    // Revokes every class object registered here.
    void Revoke();

    size_t registered() const noexcept { return cookies_.size(); }

private:
    const proxy_stub_set& set_;
    std::vector<DWORD> cookies_;
};
