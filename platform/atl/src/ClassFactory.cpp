#include <com/ClassFactory.h>

namespace com {

ServerClassTable::ServerClassTable(std::span<const ServerClass> classes)
    : classes_(classes), factories_(classes.size(), nullptr)
{}

ServerClassTable::~ServerClassTable()
{
    Term();
}

void ServerClassTable::Init() noexcept
{
    for (const ServerClass &entry : classes_) {
        if (entry.classInit) {
            entry.classInit();
        }
    }
    initialized_ = true;
}

void ServerClassTable::Term() noexcept
{
    for (IClassFactory *&slot : factories_) {
        auto *factory =
            static_cast<IClassFactory *>(InterlockedExchangePointer(reinterpret_cast<void **>(&slot), nullptr));
        if (factory) {
            factory->Release();
        }
    }
    if (!initialized_) {
        return;
    }
    initialized_ = false;
    for (const ServerClass &entry : classes_) {
        if (entry.classTerm) {
            entry.classTerm();
        }
    }
}

HRESULT ServerClassTable::GetClassObject(REFCLSID clsid, REFIID iid, void **out) noexcept
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    for (size_t i = 0; i < classes_.size(); ++i) {
        const ServerClass &entry = classes_[i];
        if (!entry.clsid || !IsEqualCLSID(*entry.clsid, clsid)) {
            continue;
        }
        auto *cached = static_cast<IClassFactory *>(
            InterlockedCompareExchangePointer(reinterpret_cast<void **>(&factories_[i]), nullptr, nullptr));
        if (!cached) {
            IClassFactory *made = nullptr;
            HRESULT hr = CreateInstance<ClassFactory>(nullptr, IID_IClassFactory, reinterpret_cast<void **>(&made),
                                                      entry.create);
            if (FAILED(hr)) {
                return hr;
            }
            // Another thread may have cached one first: keep that one.
            auto *raced = static_cast<IClassFactory *>(
                InterlockedCompareExchangePointer(reinterpret_cast<void **>(&factories_[i]), made, nullptr));
            if (raced) {
                made->Release();
                cached = raced;
            } else {
                cached = made;
            }
        }
        return cached->QueryInterface(iid, out);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT ServerClassTable::RegisterClasses() noexcept
{
    for (const ServerClass &entry : classes_) {
        if (entry.updateRegistry) {
            HRESULT hr = entry.updateRegistry(true);
            if (FAILED(hr)) {
                return hr;
            }
        }
    }
    return S_OK;
}

HRESULT ServerClassTable::UnregisterClasses() noexcept
{
    for (const ServerClass &entry : classes_) {
        if (entry.updateRegistry) {
            HRESULT hr = entry.updateRegistry(false);
            if (FAILED(hr)) {
                return hr;
            }
        }
    }
    return S_OK;
}

} // namespace com
