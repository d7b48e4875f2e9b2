#include "Counter.h"

#include <com/Bstr.h>
#include <com/Enumerator.h>
#include <com/SafeArray.h>
#include <com/TypeLibraryRegistration.h>

namespace {

// A separate object answering ICounterTag for its counter (a function row of the table).
class CounterTag : public com::ObjectRoot, public ICounterTag {
public:
    explicit CounterTag(Counter &counter) : counter_(counter), owner_(static_cast<ICounter *>(&counter)) {}

    static std::span<const com::InterfaceEntry> InterfaceTable() noexcept
    {
        static const com::InterfaceEntry table[] = {com::InterfaceOf<CounterTag, ICounterTag>(IID_ICounterTag)};
        return table;
    }

    STDMETHODIMP Total(LONG *total) override
    {
        if (!total) {
            return E_POINTER;
        }
        *total = counter_.Total();
        return S_OK;
    }

private:
    Counter &counter_;
    com::ComPtr<ICounter> owner_; // keeps the counter alive
};

HRESULT LoadLibraryOfThisModule(ITypeLib **out)
{
    return com::LoadModuleTypeLibrary(com::ThisModule().Instance(), out);
}

} // namespace

Counter::Counter() : com::DispatchImpl<ICounter>(TypeInfo()), events_(*this, DIID__ICounterEvents)
{
    AddConnectionPoint(events_);
}

std::span<const com::InterfaceEntry> Counter::InterfaceTable() noexcept
{
    static const com::InterfaceEntry table[] = {
        com::InterfaceOf<Counter, ICounter>(IID_ICounter),
        com::InterfaceOf<Counter, IDispatch>(IID_IDispatch),
        com::InterfaceOf<Counter, IConnectionPointContainer>(IID_IConnectionPointContainer),
        com::InterfaceFunction<Counter, &Counter::QueryTag>(IID_ICounterTag),
    };
    return table;
}

com::TypeInfoSource &Counter::TypeInfo() noexcept
{
    static com::TypeInfoSource source(&LoadLibraryOfThisModule, IID_ICounter);
    return source;
}

HRESULT Counter::QueryTag(Counter *self, REFIID iid, void **out)
{
    com::ComPtr<com::Object<CounterTag>> tag;
    HRESULT hr = com::MakeObject<CounterTag>(tag, *self);
    if (FAILED(hr)) {
        *out = nullptr;
        return hr;
    }
    return tag->QueryInterface(iid, out);
}

LONG Counter::Total()
{
    com::ScopedLock lock(lock_);
    return total_;
}

STDMETHODIMP Counter::Add(LONG amount, LONG *total)
{
    if (!total) {
        return E_POINTER;
    }
    {
        com::ScopedLock lock(lock_);
        total_ += amount;
        history_.push_back(amount);
        *total = total_;
    }
    com::Variant arguments[] = {com::Variant::Dispatch(static_cast<ICounter *>(this)), com::Variant::Int32(*total)};
    return events_.InvokeEach(1, arguments);
}

STDMETHODIMP Counter::get_Name(BSTR *name)
{
    if (!name) {
        return E_POINTER;
    }
    com::ScopedLock lock(lock_);
    com::Bstr copy(name_);
    if (copy.IsNull()) {
        return E_OUTOFMEMORY;
    }
    *name = copy.Detach();
    return S_OK;
}

STDMETHODIMP Counter::put_Name(BSTR name)
{
    {
        com::ScopedLock lock(lock_);
        name_.assign(name ? name : L"", SysStringLen(name));
    }
    com::Variant arguments[] = {com::Variant::String(std::wstring_view(name ? name : L"", SysStringLen(name)))};
    return events_.InvokeEach(2, arguments);
}

STDMETHODIMP Counter::Sum(SAFEARRAY **values, LONG *sum)
{
    if (!values || !*values || !sum) {
        return E_POINTER;
    }
    *sum = 0;
    if (SafeArrayGetDim(*values) != 1 || SafeArrayGetElemsize(*values) != sizeof(LONG)) {
        return E_INVALIDARG;
    }
    LONG count = 0;
    HRESULT hr = com::SafeArrayLength(*values, count);
    if (FAILED(hr)) {
        return hr;
    }
    com::SafeArrayAccess<LONG> data(*values);
    if (FAILED(data.Status())) {
        return data.Status();
    }
    for (LONG i = 0; i < count; ++i) {
        *sum += data.Data()[i];
    }
    return S_OK;
}

STDMETHODIMP Counter::Split(LONG value, LONG *high, LONG *low)
{
    if (!high || !low) {
        return E_POINTER;
    }
    *high = static_cast<LONG>(static_cast<ULONG>(value) >> 16);
    *low = value & 0xFFFF;
    return S_OK;
}

STDMETHODIMP Counter::Refuse(LONG code)
{
    return static_cast<HRESULT>(code);
}

STDMETHODIMP Counter::get__NewEnum(IUnknown **items)
{
    if (!items) {
        return E_POINTER;
    }
    *items = nullptr;
    try {
        auto list = std::make_shared<std::vector<com::Variant>>();
        {
            com::ScopedLock lock(lock_);
            for (LONG amount : history_) {
                list->push_back(com::Variant::Int32(amount));
            }
        }
        IEnumVARIANT *enumerator = nullptr;
        HRESULT hr = com::VariantEnumerator::Create(std::move(list), &enumerator);
        *items = enumerator;
        return hr;
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}
