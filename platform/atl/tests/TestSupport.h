// Helpers of the COM layer tests: an apartment per test, the test server
// loaded through its exports, and an event sink that records what it gets.
#pragma once

#include <com/ComPtr.h>
#include <com/Lock.h>
#include <com/Variant.h>

#include "ComLayerTest.h"

#include <gtest/gtest.h>

#include <vector>

class Apartment {
public:
    explicit Apartment(DWORD model = COINIT_MULTITHREADED) : hr_(CoInitializeEx(nullptr, model)) {}
    Apartment(const Apartment &) = delete;
    Apartment &operator=(const Apartment &) = delete;
    ~Apartment()
    {
        if (SUCCEEDED(hr_)) {
            CoUninitialize();
        }
    }

private:
    HRESULT hr_;
};

// The test server DLL, loaded by path and reached through its exports only.
class TestServer {
public:
    TestServer();
    TestServer(const TestServer &) = delete;
    TestServer &operator=(const TestServer &) = delete;
    ~TestServer();

    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void **out) const;
    HRESULT CanUnloadNow() const;
    HRESULT Register() const;
    HRESULT Unregister() const;
    com::ComPtr<ICounter> NewCounter() const;

private:
    HMODULE module_;
};

// Reference count of an object as seen from outside (AddRef then Release).
ULONG ObservedRefCount(IUnknown *object);

// One event call as the sink saw it.
struct RecordedCall {
    DISPID id = 0;
    std::vector<com::Variant> arguments; // as passed: last argument first
    ULONG sourceRefsDuringCall = 0;       // for a VT_DISPATCH first declared argument
};

class RecordingSink : public IDispatch {
public:
    explicit RecordingSink(REFIID eventsIid = DIID__ICounterEvents) : eventsIid_(eventsIid) {}
    virtual ~RecordingSink() = default;

    STDMETHODIMP QueryInterface(REFIID iid, void **out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override { return InterlockedDecrement(&refs_); } // lives on the stack
    STDMETHODIMP GetTypeInfoCount(UINT *count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo **) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS *params, VARIANT *, EXCEPINFO *,
                        UINT *) override;

    // Runs during each call, after it was recorded.
    void (*onCall)(RecordingSink &sink, const RecordedCall &call) = nullptr;
    void *context = nullptr;

    std::vector<RecordedCall> Calls();
    LONG Refs() const { return refs_; }

private:
    IID eventsIid_;
    LONG refs_ = 0;
    com::CriticalSection lock_;
    std::vector<RecordedCall> calls_;
};
