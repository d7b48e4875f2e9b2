#include <com/ConnectionPoint.h>
#include <com/Enumerator.h>

#include <algorithm>

namespace com {
namespace {

struct Connection {
    ComPtr<IUnknown> sink;
    DWORD cookie;
};

struct ConnectionEnumTraits {
    using Interface = IEnumConnections;
    using Item = CONNECTDATA;
    using Stored = Connection;
    static const IID &Iid() noexcept { return IID_IEnumConnections; }
    static HRESULT Copy(CONNECTDATA *out, const Connection &item) noexcept
    {
        out->pUnk = item.sink.CopyOut();
        out->dwCookie = item.cookie;
        return S_OK;
    }
};

struct PointEnumTraits {
    using Interface = IEnumConnectionPoints;
    using Item = IConnectionPoint *;
    using Stored = ComPtr<IConnectionPoint>;
    static const IID &Iid() noexcept { return IID_IEnumConnectionPoints; }
    static HRESULT Copy(IConnectionPoint **out, const ComPtr<IConnectionPoint> &item) noexcept
    {
        *out = item.CopyOut();
        return S_OK;
    }
};

} // namespace

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID iid, void **out)
{
    if (!out) {
        return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint)) {
        *out = static_cast<IConnectionPoint *>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID *iid)
{
    if (!iid) {
        return E_POINTER;
    }
    *iid = *eventsIid_;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer **out)
{
    if (!out) {
        return E_POINTER;
    }
    container_.AddRef();
    *out = &container_;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown *sink, DWORD *cookie)
{
    if (!cookie) {
        return E_POINTER;
    }
    *cookie = 0;
    if (!sink) {
        return E_POINTER;
    }
    ComPtr<IUnknown> events;
    if (FAILED(sink->QueryInterface(*eventsIid_, events.PutVoid())) || !events) {
        return CONNECT_E_CANNOTCONNECT;
    }
    try {
        ScopedLock lock(lock_);
        auto free = std::find_if(sinks_.begin(), sinks_.end(), [](const ComPtr<IUnknown> &s) { return !s; });
        if (free == sinks_.end()) {
            sinks_.push_back(std::move(events));
            free = sinks_.end() - 1;
        } else {
            *free = std::move(events);
        }
        *cookie = static_cast<DWORD>(free - sinks_.begin()) + 1;
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD cookie)
{
    ComPtr<IUnknown> removed; // released after the lock: a sink's release may call back
    {
        ScopedLock lock(lock_);
        if (cookie == 0 || cookie > sinks_.size() || !sinks_[cookie - 1]) {
            return CONNECT_E_NOCONNECTION;
        }
        removed.Swap(sinks_[cookie - 1]);
    }
    return S_OK;
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections **out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    try {
        auto list = std::make_shared<std::vector<Connection>>();
        {
            ScopedLock lock(lock_);
            for (size_t i = 0; i < sinks_.size(); ++i) {
                if (sinks_[i]) {
                    list->push_back({sinks_[i], static_cast<DWORD>(i + 1)});
                }
            }
        }
        return Enumerator<ConnectionEnumTraits>::Create(std::move(list), out);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}

size_t ConnectionPoint::SlotCount() noexcept
{
    ScopedLock lock(lock_);
    return sinks_.size();
}

ComPtr<IUnknown> ConnectionPoint::SinkAt(size_t slot) noexcept
{
    ScopedLock lock(lock_);
    return slot < sinks_.size() ? sinks_[slot] : nullptr;
}

HRESULT ConnectionPoint::InvokeEach(DISPID id, std::span<const Variant> arguments) noexcept
{
    // Automation takes the arguments last first; the caller keeps ownership.
    std::vector<VARIANTARG> reversed;
    try {
        reversed.reserve(arguments.size());
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    for (auto it = arguments.rbegin(); it != arguments.rend(); ++it) {
        reversed.push_back(it->Get());
    }
    DISPPARAMS params = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};

    HRESULT result = S_OK;
    size_t slots = SlotCount();
    for (size_t slot = 0; slot < slots; ++slot) {
        ComPtr<IUnknown> sink = SinkAt(slot);
        if (!sink) {
            continue;
        }
        // The sink was queried for the events interface, a dispinterface.
        auto *dispatch = static_cast<IDispatch *>(static_cast<IUnknown *>(sink.Get()));
        result = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                                  nullptr);
    }
    return result;
}

STDMETHODIMP ConnectionPointContainer::EnumConnectionPoints(IEnumConnectionPoints **out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    try {
        auto list = std::make_shared<std::vector<ComPtr<IConnectionPoint>>>();
        for (ConnectionPoint *point : points_) {
            list->emplace_back(point);
        }
        return Enumerator<PointEnumTraits>::Create(std::move(list), out);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP ConnectionPointContainer::FindConnectionPoint(REFIID iid, IConnectionPoint **out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    for (ConnectionPoint *point : points_) {
        if (IsEqualIID(point->EventsIid(), iid)) {
            point->AddRef();
            *out = point;
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

} // namespace com
