// Devices for the server's tests: the simulated driver the test build of the
// server talks to, a fixture with one loopback device, and an event sink.
#pragma once

#include "ServerSupport.h"

#include "sim/dravio/SimController.h"

#include <com/Lock.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// The process's one simulated driver (dravio_sim.dll), shared with the server.
extern "C" dravio::sim::ISimController *DravioSim_GetController();

// {4B104F5C-324B-49B4-8259-B4C4DB419C9B}, the adapter's class, and one no device is ever plugged into.
constexpr GUID kDeviceClass = {0x4B104F5C, 0x324B, 0x49B4, {0x82, 0x59, 0xB4, 0xC4, 0xDB, 0x41, 0x9C, 0x9B}};
constexpr wchar_t kDeviceClassText[] = L"{4B104F5C-324B-49B4-8259-B4C4DB419C9B}";
constexpr GUID kOtherClass = {0xD5856444, 0x1898, 0x4B27, {0x99, 0x93, 0xBD, 0x9C, 0xD1, 0x01, 0x14, 0xA2}};
constexpr wchar_t kOtherClassText[] = L"{D5856444-1898-4B27-9993-BD9CD10114A2}";

constexpr LONG kNoData = static_cast<LONG>(0xE000A005);

// Seconds a test waits for something the worker or the notifier must do.
constexpr DWORD kPatienceMs = 10000;

// One event as a sink received it.
struct ReceivedEvent {
    DISPID id;
    DWORD thread;
    IUnknown *source; // the argument's identity, compared only (no reference kept)
};

// A sink of _IDravioInterfaceEvents that records every event and lets a test
// wait for them. It lives on the test's stack; its count only checks balance.
class EventSink : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void **out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override { return InterlockedDecrement(&refs_); }
    STDMETHODIMP GetTypeInfoCount(UINT *count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo **) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS *params, VARIANT *, EXCEPINFO *, UINT *) override;

    // Runs inside each call, before it is recorded, on the thread that fired it.
    std::function<void(DISPID id, IDispatch *source)> handler;

    // Waits until `count` events of the kind arrived; false on time-out.
    bool WaitFor(DISPID id, size_t count, DWORD timeoutMs = kPatienceMs);
    std::vector<ReceivedEvent> Events();
    size_t Count(DISPID id);
    LONG Refs() const { return refs_; }

private:
    LONG refs_ = 0;
    std::mutex lock_;
    std::condition_variable arrived_;
    std::vector<ReceivedEvent> events_;
};

// Connects a sink to an object's events for the length of a scope.
class Connection {
public:
    Connection(IUnknown *object, IUnknown *sink);
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    ~Connection();
    bool Connected() const { return cookie_ != 0; }

private:
    com::ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

// One simulated device of kDeviceClass whose OUT endpoint 0x02 loops back to
// IN endpoint 0x81, and the test build of the server.
class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new object with the device open (and configured when asked).
    com::ComPtr<IDravioInterface> OpenObject(bool configure);

    dravio::sim::ISimController &Sim() { return *sim_; }
    uint32_t DeviceNumber() const { return number_; }
    const ServerModule &Server() const { return *server_; }

    Apartment apartment;

private:
    dravio::sim::ISimController *sim_ = nullptr;
    uint32_t number_ = 0;
    std::unique_ptr<ServerModule> server_;
};

// Reads until data comes or the patience runs out; returns the status of the last read.
LONG ReadWhenThere(IDravioInterface *reader, SAFEARRAY **data, LONG &length);
