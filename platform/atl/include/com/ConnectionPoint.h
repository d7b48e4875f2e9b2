// Connection points: a list of sinks for one outgoing interface, and the
// container that finds them. A connection point lives inside the object that
// serves it and counts its references on that object.
#pragma once

#include <com/ComPtr.h>
#include <com/Lock.h>
#include <com/Variant.h>

#include <ocidl.h>
#include <olectl.h>

#include <span>
#include <vector>

namespace com {

class ConnectionPoint final : public IConnectionPoint {
public:
    // container: the owning object (its reference count keeps this point alive).
    ConnectionPoint(IConnectionPointContainer &container, const IID &eventsIid) noexcept
        : container_(container), eventsIid_(&eventsIid)
    {}
    ConnectionPoint(const ConnectionPoint &) = delete;
    ConnectionPoint &operator=(const ConnectionPoint &) = delete;
    ~ConnectionPoint() = default;

    const IID &EventsIid() const noexcept { return *eventsIid_; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void **out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return container_.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return container_.Release(); }

    // IConnectionPoint
    STDMETHODIMP GetConnectionInterface(IID *iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer **out) override;
    STDMETHODIMP Advise(IUnknown *sink, DWORD *cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections **out) override;

    // Number of sink slots (cookie = slot + 1); some may be empty.
    size_t SlotCount() noexcept;
    // The sink in a slot with a reference added, or null when the slot is empty.
    ComPtr<IUnknown> SinkAt(size_t slot) noexcept;

    // Calls IDispatch::Invoke (method call, IID_NULL, user default locale, no
    // result) on every sink in cookie order, each held by a reference during
    // its call and no lock held. The arguments are given in declaration order.
    // Returns the last sink's result, S_OK when there is none.
    HRESULT InvokeEach(DISPID id, std::span<const Variant> arguments) noexcept;

private:
    IConnectionPointContainer &container_;
    const IID *eventsIid_;
    CriticalSection lock_;
    std::vector<ComPtr<IUnknown>> sinks_;
};

// Base of an object that serves connection points. The derived object adds
// its points (members of itself) in its constructor.
class ConnectionPointContainer : public IConnectionPointContainer {
public:
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints **out) override;
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint **out) override;

protected:
    ConnectionPointContainer() = default;
    ~ConnectionPointContainer() = default;

    void AddConnectionPoint(ConnectionPoint &point) { points_.push_back(&point); }

private:
    std::vector<ConnectionPoint *> points_;
};

} // namespace com
