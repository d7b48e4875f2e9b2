// Class objects of an in-process server: one cached factory per class of the
// server's class table, created on first request and kept until the module ends.
#pragma once

#include <com/Object.h>

#include <span>
#include <vector>

namespace com {

using CreateFunction = HRESULT (*)(IUnknown *outer, REFIID iid, void **out);

// Hands out objects of one class. It does not hold the module lock itself;
// clients keep the server loaded through LockServer.
class ClassFactory : public ObjectRoot, public IClassFactory {
public:
    static constexpr bool kLocksModule = false;
    static constexpr bool kAggregatable = false;

    explicit ClassFactory(CreateFunction create) noexcept : create_(create) {}

    static std::span<const InterfaceEntry> InterfaceTable() noexcept
    {
        static const InterfaceEntry table[] = {InterfaceOf<ClassFactory, IClassFactory>(IID_IClassFactory)};
        return table;
    }

    STDMETHODIMP CreateInstance(IUnknown *outer, REFIID iid, void **out) override
    {
        if (!out) {
            return E_POINTER;
        }
        *out = nullptr;
        return create_(outer, iid, out);
    }

    STDMETHODIMP LockServer(BOOL lock) override
    {
        if (lock) {
            ThisModule().Lock();
        } else {
            ThisModule().Unlock();
        }
        return S_OK;
    }

private:
    CreateFunction create_;
};

// One creatable class of a server. The CLSID is reached through a pointer so
// that it may be known only at run time.
struct ServerClass {
    const CLSID *clsid;
    CreateFunction create;
    HRESULT (*updateRegistry)(bool registering); // may be null
    void (*classInit)();                         // may be null
    void (*classTerm)();                         // may be null
};

class ServerClassTable {
public:
    explicit ServerClassTable(std::span<const ServerClass> classes);
    ServerClassTable(const ServerClassTable &) = delete;
    ServerClassTable &operator=(const ServerClassTable &) = delete;
    ~ServerClassTable();

    // Runs each class's init hook (once; Term runs the term hooks).
    void Init() noexcept;
    // Releases the cached factories and runs each class's term hook.
    void Term() noexcept;

    // DllGetClassObject over the table.
    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void **out) noexcept;
    // Each class's registry step in order; stops at the first failure.
    HRESULT RegisterClasses() noexcept;
    HRESULT UnregisterClasses() noexcept;

private:
    std::span<const ServerClass> classes_;
    std::vector<IClassFactory *> factories_;
    bool initialized_ = false;
};

} // namespace com
