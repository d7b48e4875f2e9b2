#pragma once

// The launcher's own marshalling code for the interfaces of its type library.
// COM keeps marshaller registrations per apartment: every thread that passes
// these interfaces to another apartment, or receives them from one, registers.

#include <windows.h>

#include <span>
#include <vector>

// The interfaces the launcher marshals between its threads.
std::span<const IID* const> MarshalledInterfaces() noexcept;

// Registers the marshalling class of each marshalled interface for the calling
// apartment, under the interface's own identifier; revokes the class objects
// when it ends.
class CProxyStubRegistration {
public:
    CProxyStubRegistration() = default;
    ~CProxyStubRegistration() { Revoke(); }
    CProxyStubRegistration(const CProxyStubRegistration&) = delete;
    CProxyStubRegistration& operator=(const CProxyStubRegistration&) = delete;

    // All or nothing: on failure what was registered is revoked again.
    HRESULT Register();
    void Revoke() noexcept;

private:
    std::vector<DWORD> cookies_;
};
