// COM object base: an interlocked reference count, an interface table and
// aggregation. A class derives from ObjectRoot and its interfaces and names
// them in a static InterfaceTable(); Object<T> (standalone) or the aggregated
// form supplies IUnknown. Objects hold the module lock while they live.
#pragma once

#include <com/ComPtr.h>
#include <com/Module.h>

#include <new>
#include <span>
#include <utility>

namespace com {

// One row of an interface table. The IID is reached through a pointer so that
// identifiers known only at run time can be listed. A plain row casts the
// object to the interface; a function row answers the query itself and hands
// back a reference.
struct InterfaceEntry {
    const IID *iid;
    void *(*cast)(void *object);
    HRESULT (*query)(void *object, REFIID iid, void **out);
};

template <class T, class I>
constexpr InterfaceEntry InterfaceOf(const IID &iid) noexcept
{
    return {&iid, [](void *object) -> void * { return static_cast<I *>(static_cast<T *>(object)); }, nullptr};
}

// A function row: Query(object, iid, out) answers for the interface.
template <class T, HRESULT (*Query)(T *object, REFIID iid, void **out)>
constexpr InterfaceEntry InterfaceFunction(const IID &iid) noexcept
{
    return {&iid, nullptr, [](void *object, REFIID asked, void **out) -> HRESULT {
                return Query(static_cast<T *>(object), asked, out);
            }};
}

// Looks iid up in the table of the object (given as the T* of the table's casts).
// IUnknown answers with the first row, which must be a plain row.
HRESULT QueryInterfaceTable(void *object, std::span<const InterfaceEntry> table, REFIID iid, void **out) noexcept;

class ObjectRoot {
public:
    // Traits a class may hide with its own.
    static constexpr bool kLocksModule = true;
    static constexpr bool kAggregatable = true;

    // Called once after construction with a guard reference held; a failure destroys the object.
    HRESULT FinalConstruct() noexcept { return S_OK; }
    // Called once before destruction, while the object is still whole.
    void FinalRelease() noexcept {}

protected:
    ObjectRoot() noexcept = default;
    ObjectRoot(const ObjectRoot &) = delete;
    ObjectRoot &operator=(const ObjectRoot &) = delete;
    ~ObjectRoot() = default;

    // The controlling unknown when the object is aggregated, else null.
    IUnknown *Outer() const noexcept { return outer_; }

    ULONG InternalAddRef() noexcept { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG InternalRelease() noexcept { return static_cast<ULONG>(InterlockedDecrement(&refs_)); }

private:
    template <class>
    friend class Object;
    template <class>
    friend class AggregatedPart;
    template <class>
    friend class AggregatedObject;

    LONG refs_ = 0;
    IUnknown *outer_ = nullptr;
};

// Holds the module lock from before the object is built until after it is gone.
template <bool Locks>
class ModuleLockHolder {
protected:
    ModuleLockHolder() noexcept
    {
        if constexpr (Locks) {
            ThisModule().Lock();
        }
    }
    ~ModuleLockHolder()
    {
        if constexpr (Locks) {
            ThisModule().Unlock();
        }
    }
};

// A standalone object: its own reference count, deleted at zero.
template <class T>
class Object final : private ModuleLockHolder<T::kLocksModule>, public T {
public:
    template <class... Args>
    explicit Object(Args &&...args) : T(std::forward<Args>(args)...)
    {}

    STDMETHODIMP QueryInterface(REFIID iid, void **out) override
    {
        return QueryInterfaceTable(static_cast<T *>(this), T::InterfaceTable(), iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return this->InternalAddRef(); }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG left = this->InternalRelease();
        if (left == 0) {
            // A guard count, so a reference taken and dropped during FinalRelease does not delete twice.
            this->refs_ = 1;
            this->FinalRelease();
            delete this;
        }
        return left;
    }

    // The object's identity as IUnknown (no reference added).
    IUnknown *Identity() noexcept
    {
        return static_cast<IUnknown *>(T::InterfaceTable()[0].cast(static_cast<T *>(this)));
    }
};

// The object inside an aggregate: every IUnknown call goes to the outer object.
template <class T>
class AggregatedPart final : public T {
public:
    template <class... Args>
    explicit AggregatedPart(IUnknown *outer, Args &&...args) : T(std::forward<Args>(args)...)
    {
        this->outer_ = outer;
    }

    STDMETHODIMP QueryInterface(REFIID iid, void **out) override { return this->outer_->QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return this->outer_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return this->outer_->Release(); }
};

// The inner, non-delegating unknown of an aggregated object: it alone owns the part.
template <class T>
class AggregatedObject final : private ModuleLockHolder<T::kLocksModule>, public IUnknown {
public:
    template <class... Args>
    explicit AggregatedObject(IUnknown *outer, Args &&...args) : part_(outer, std::forward<Args>(args)...)
    {}

    STDMETHODIMP QueryInterface(REFIID iid, void **out) override
    {
        if (!out) {
            return E_POINTER;
        }
        if (IsEqualIID(iid, IID_IUnknown)) {
            *out = static_cast<IUnknown *>(this);
            AddRef();
            return S_OK;
        }
        return QueryInterfaceTable(static_cast<T *>(&part_), T::InterfaceTable(), iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG left = InterlockedDecrement(&refs_);
        if (left == 0) {
            refs_ = 1;
            part_.FinalRelease();
            delete this;
        }
        return static_cast<ULONG>(left);
    }

    HRESULT FinalConstruct() noexcept { return part_.FinalConstruct(); }

private:
    LONG refs_ = 0;
    AggregatedPart<T> part_;
};

// Builds an object and answers the query for iid: standalone without an outer
// object, aggregated with one (then only IUnknown may be asked for).
template <class T, class... Args>
HRESULT CreateInstance(IUnknown *outer, REFIID iid, void **out, Args &&...args) noexcept
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    IUnknown *guard = nullptr;
    HRESULT hr = S_OK;
    try {
        if (outer) {
            if constexpr (!T::kAggregatable) {
                return CLASS_E_NOAGGREGATION;
            } else {
                if (!IsEqualIID(iid, IID_IUnknown)) {
                    return CLASS_E_NOAGGREGATION;
                }
                auto *object = new (std::nothrow) AggregatedObject<T>(outer, std::forward<Args>(args)...);
                if (!object) {
                    return E_OUTOFMEMORY;
                }
                guard = object;
                guard->AddRef();
                hr = object->FinalConstruct();
            }
        } else {
            auto *object = new (std::nothrow) Object<T>(std::forward<Args>(args)...);
            if (!object) {
                return E_OUTOFMEMORY;
            }
            guard = object->Identity();
            guard->AddRef();
            hr = object->FinalConstruct();
        }
    } catch (const std::bad_alloc &) {
        if (!guard) {
            return E_OUTOFMEMORY;
        }
        hr = E_OUTOFMEMORY;
    }
    if (SUCCEEDED(hr)) {
        hr = guard->QueryInterface(iid, out);
    }
    guard->Release();
    return hr;
}

// Builds a standalone object for use inside the binary, with one reference.
template <class T, class... Args>
HRESULT MakeObject(ComPtr<Object<T>> &out, Args &&...args) noexcept
{
    out.Reset();
    Object<T> *object = nullptr;
    try {
        object = new (std::nothrow) Object<T>(std::forward<Args>(args)...);
    } catch (const std::bad_alloc &) {
        object = nullptr;
    }
    if (!object) {
        return E_OUTOFMEMORY;
    }
    ComPtr<Object<T>> held(object);
    HRESULT hr = object->FinalConstruct();
    if (SUCCEEDED(hr)) {
        out = std::move(held);
    }
    return hr;
}

} // namespace com
