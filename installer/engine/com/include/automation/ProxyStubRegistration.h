#pragma once

// Makes the launcher's automation interfaces marshallable inside the process
// without registry entries: each interface's marshalling class object is
// registered under the interface's own id, on the thread that constructs the
// object (every apartment that marshals registers for itself).

#include <windows.h>
#include <unknwn.h>

#include <vector>

// Marshalling code for a set of interfaces: the class object that serves one
// of them (its id used as the class id), and the interfaces, in order.
struct proxy_stub_set {
    HRESULT (*class_object)(const IID* iid, void** object);
    const IID* const* interfaces;
    size_t count;
};

// The launcher's own set: the twelve interfaces of its type library.
const proxy_stub_set& LauncherProxyStubs();

class CProxyStubRegistration {
public:
    explicit CProxyStubRegistration(const proxy_stub_set& set = LauncherProxyStubs());
    ~CProxyStubRegistration();
    CProxyStubRegistration(const CProxyStubRegistration&) = delete;
    CProxyStubRegistration& operator=(const CProxyStubRegistration&) = delete;

    // Registers every interface of the set; S_OK whatever the single results.
    HRESULT RegisterAll();
    // Stops at the first failing step and gives its status.
    HRESULT Register(REFIID iid, REFCLSID clsid);
    // Revokes every class object registered here.
    void Revoke();

    size_t registered() const noexcept { return cookies_.size(); }

private:
    const proxy_stub_set& set_;
    std::vector<DWORD> cookies_;
};
