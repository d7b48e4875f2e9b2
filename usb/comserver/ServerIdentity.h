// The identifiers the server takes from its type library at load: nothing of
// the class, its interfaces or its library is compiled into the module.
#pragma once

#include <com/Bstr.h>
#include <com/ComPtr.h>

#include <oaidl.h>

#include <memory>
#include <string>

// Module-wide values, filled at process attach (AttachServerIdentity).
extern GUID LIBID_DravioCOMLibInt;
extern IID DIID__IDravioInterfaceEventsInt;
extern IID IID_IDravioInterfaceInt;
extern CLSID CLSID_DravioInterfaceInt;

struct CoTaskMemDeleter {
    void operator()(wchar_t *p) const noexcept { CoTaskMemFree(p); }
};
using CoTaskMemString = std::unique_ptr<wchar_t, CoTaskMemDeleter>;

// What one type library says about the server.
struct ServerIdentity {
    GUID libid{};
    IID eventsIid{};    // the first dispatch type: the events dispinterface
    IID interfaceIid{}; // the second dispatch type: the dual interface
    CLSID clsid{};      // the coclass
    com::Bstr coclassName;
    com::Bstr coclassInfo;       // the coclass's documentation string
    CoTaskMemString libidString; // registry form, in braces
    CoTaskMemString clsidString;
    com::ComPtr<ITypeLib> library;

    // Reads a type library file. Fails when the library cannot be loaded or
    // read, or when it does not name both dispatch types and the coclass.
    HRESULT Load(const std::wstring &typeLibraryPath);
};

// The type library beside a module: its path with everything after the last
// "." replaced by "tlb". Fails when the module's own path cannot be read.
HRESULT TypeLibraryPathBeside(HMODULE module, std::wstring &path);

// The module's identity, kept from attach to detach.
HRESULT AttachServerIdentity(HMODULE module);
void DetachServerIdentity();
const ServerIdentity &TheServerIdentity();
