// Interfaces of the library crossing between two single-threaded apartments
// through the launcher's own marshalling code, as between the engine's thread
// and the user-interface thread, and events firing back across.

#include "automation/BootstrapError.h"
#include "automation/ProxyStubRegistration.h"
#include "automation/SuiteErrors.h"

#include "TestObjects.h"

#include <gtest/gtest.h>

#include <functional>
#include <span>
#include <thread>

namespace {

// A single-threaded apartment on its own thread with the marshalling classes
// registered; runs tasks handed to it between the messages it dispatches.
class StaThread {
public:
    StaThread()
    {
        ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this] { Loop(); });
        WaitForSingleObject(ready_, INFINITE);
    }
    ~StaThread()
    {
        PostThreadMessageW(id_, WM_QUIT, 0, 0);
        thread_.join();
        CloseHandle(ready_);
    }
    StaThread(const StaThread&) = delete;
    StaThread& operator=(const StaThread&) = delete;

    DWORD id() const { return id_; }
    HRESULT registration() const { return registration_; }

    // Runs the task there; the caller's apartment keeps serving calls meanwhile.
    void Run(std::function<void()> task)
    {
        Task posted{std::move(task), CreateEventW(nullptr, TRUE, FALSE, nullptr)};
        PostThreadMessageW(id_, WM_APP, 0, reinterpret_cast<LPARAM>(&posted));
        DWORD index = 0;
        CoWaitForMultipleHandles(0, INFINITE, 1, &posted.done, &index);
        CloseHandle(posted.done);
    }

private:
    struct Task {
        std::function<void()> work;
        HANDLE done;
    };

    void Loop()
    {
        Apartment apartment;
        CProxyStubRegistration proxies;
        registration_ = proxies.registered() == LauncherProxyStubs().count ? S_OK : E_FAIL;
        MSG message;
        PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
        id_ = GetCurrentThreadId();
        SetEvent(ready_);
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (message.hwnd == nullptr && message.message == WM_APP) {
                auto* task = reinterpret_cast<Task*>(message.lParam);
                task->work();
                SetEvent(task->done);
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

    HANDLE ready_ = nullptr;
    DWORD id_ = 0;
    HRESULT registration_ = E_FAIL;
    std::thread thread_;
};

// What a user interface written in script does: it answers for the events
// interface with its IDispatch only.
class EventSink final : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID__IBootstrapEvents)) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return left;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return DISP_E_BADINDEX; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) override
    {
        thread = GetCurrentThreadId();
        events.push_back(id);
        if (id == 1 && params->cArgs == 1) {   // OnBootstrapEvent(eState) -> pbCancel
            state = params->rgvarg[0].lVal;
            if (result) {
                result->vt = VT_BOOL;
                result->boolVal = VARIANT_TRUE;
            }
        } else if (id == 2 && params->cArgs == 1 && params->rgvarg[0].vt == VT_DISPATCH) {   // OnError(pError)
            com::ComPtr<IBootstrapError> error;
            if (SUCCEEDED(params->rgvarg[0].pdispVal->QueryInterface(IID_IBootstrapError, error.PutVoid()))) {
                com::Bstr text;
                error->get_Description(text.Put());
                description = std::wstring(text.View());
                error->get_LastError(&error_code);
            }
        }
        return S_OK;
    }

    DWORD thread = 0;
    std::vector<DISPID> events;
    LONG state = -100;
    std::wstring description;
    HRESULT error_code = S_OK;

private:
    virtual ~EventSink() = default;
    LONG references_ = 1;
};

// Fires one event at every sink through IDispatch, as the engine does, and
// gives the first sink's answer.
com::Variant Fire(com::ConnectionPoint& point, DISPID id, com::Variant argument)
{
    com::Variant answer;
    for (size_t slot = 0; slot < point.SlotCount(); ++slot) {
        com::ComPtr<IUnknown> sink = point.SinkAt(slot);
        com::ComPtr<IDispatch> dispatch;
        if (!sink || FAILED(sink->QueryInterface(IID_IDispatch, dispatch.PutVoid())))
            continue;
        VARIANT argument_value = argument.Get();
        DISPPARAMS params = {&argument_value, nullptr, 1, 0};
        EXPECT_EQ(S_OK, dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, answer.Put(),
                                         nullptr, nullptr));
    }
    return answer;
}

} // namespace

TEST(Marshalling, EngineInterfacesCrossToAnotherApartmentAndEventsFireBack)
{
    Apartment apartment;
    CProxyStubRegistration proxies;
    ASSERT_EQ(LauncherProxyStubs().count, proxies.registered());

    com::ComPtr<com::Object<TestEngine>> engine;
    ASSERT_EQ(S_OK, com::MakeObject(engine));
    engine->strings[L"IDS_SUITEERROR_NOSETUPXML"] = L"setup.xml is missing.";
    com::ComPtr<com::Object<CParcelCollection>> parcels;
    ASSERT_EQ(S_OK, com::MakeObject(parcels));
    std::vector<com::ComPtr<com::Object<TestParcel>>> owned;
    for (const wchar_t* name : {L"Runtime", L"Calvista"}) {
        com::ComPtr<com::Object<TestParcel>> parcel;
        ASSERT_EQ(S_OK, com::MakeObject(parcel, std::wstring(name)));
        ASSERT_EQ(S_OK, parcels->Add(name, parcel.Get()));
        owned.push_back(parcel);
    }
    engine->parcels = com::ComPtr<IParcels>(parcels.Get());

    IStream* marshalled = nullptr;
    ASSERT_EQ(S_OK, CoMarshalInterThreadInterfaceInStream(IID_IBootstrap, static_cast<IBootstrap*>(engine.Get()),
                                                          &marshalled));

    StaThread ui;
    ASSERT_EQ(S_OK, ui.registration());
    com::ComPtr<IBootstrap> bootstrap;   // used on the user-interface thread only
    EventSink* sink = new EventSink;
    DWORD cookie = 0;
    long count = 0;
    std::wstring second_name;
    VARIANT_BOOL update = VARIANT_FALSE;
    bool is_proxy = false;
    ui.Run([&] {
        ASSERT_EQ(S_OK, CoGetInterfaceAndReleaseStream(marshalled, IID_IBootstrap, bootstrap.PutVoid()));
        is_proxy = static_cast<IUnknown*>(bootstrap.Get()) != static_cast<IBootstrap*>(engine.Get());

        com::ComPtr<IParcels> list;
        ASSERT_EQ(S_OK, bootstrap->get_Parcels(list.Put()));
        ASSERT_EQ(S_OK, list->get_Count(&count));
        com::ComPtr<IParcel> parcel;
        ASSERT_EQ(S_OK, list->get_Item(com::Variant::Int32(2).Get(), parcel.Put()));
        com::Bstr name;
        ASSERT_EQ(S_OK, parcel->get_Name(name.Put()));
        second_name = std::wstring(name.View());

        com::Bstr property(L"INSTALLDIR");
        com::Bstr value(L"C:\\Vantrel");
        ASSERT_EQ(S_OK, bootstrap->put_Property(property.Get(), value.Get()));
        com::ComPtr<IBootstrap2> second;
        ASSERT_EQ(S_OK, bootstrap.As(IID_IBootstrap2, second));
        ASSERT_EQ(S_OK, second->IsUpdateAvailable(&update));

        com::ComPtr<IConnectionPointContainer> container;
        ASSERT_EQ(S_OK, bootstrap.As(IID_IConnectionPointContainer, container));
        com::ComPtr<IConnectionPoint> point;
        ASSERT_EQ(S_OK, container->FindConnectionPoint(IID__IBootstrapEvents, point.Put()));
        ASSERT_EQ(S_OK, point->Advise(sink, &cookie));
    });
    EXPECT_TRUE(is_proxy);
    EXPECT_EQ(2, count);
    EXPECT_EQ(L"Calvista", second_name);
    EXPECT_EQ(L"C:\\Vantrel", engine->properties[L"INSTALLDIR"]);
    EXPECT_EQ(VARIANT_TRUE, update);
    ASSERT_NE(0u, cookie);

    // The engine fires on its own thread; the sink answers on the other one.
    const com::Variant answer = Fire(engine->events, 1, com::Variant::Int32(ebsInstall));
    EXPECT_EQ(VT_BOOL, answer.Type());
    EXPECT_EQ(VARIANT_TRUE, answer.Get().boolVal);

    // The sink asks the error for its description: that call comes back to
    // the engine's thread, where the error object lives.
    com::ComPtr<IBootstrapError> error;
    ASSERT_EQ(S_OK, CBootstrapError::Create(engine.Get(), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), ebesEngine,
                                            SUITE_E_NOSETUPXML, L"", nullptr, error.Put()));
    com::ComPtr<IDispatch> error_dispatch;
    ASSERT_EQ(S_OK, error.As(IID_IDispatch, error_dispatch));
    Fire(engine->events, 2, com::Variant::Dispatch(error_dispatch.Get()));

    ui.Run([&] {
        EXPECT_EQ(ui.id(), sink->thread);
        EXPECT_EQ((std::vector<DISPID>{1, 2}), sink->events);
        EXPECT_EQ(ebsInstall, sink->state);
        EXPECT_EQ(L"setup.xml is missing.", sink->description);
        EXPECT_EQ(SUITE_E_NOSETUPXML, sink->error_code);
        com::ComPtr<IConnectionPointContainer> container;
        com::ComPtr<IConnectionPoint> point;
        ASSERT_EQ(S_OK, bootstrap.As(IID_IConnectionPointContainer, container));
        ASSERT_EQ(S_OK, container->FindConnectionPoint(IID__IBootstrapEvents, point.Put()));
        EXPECT_EQ(S_OK, point->Unadvise(cookie));
        bootstrap.Reset();
        sink->Release();
    });
    EXPECT_EQ(GetCurrentThreadId(), engine->resolver_thread);
}

// Only the interfaces that cross between the launcher's threads are
// registered, each as its own marshalling class, and only for the apartment
// that registered them.
TEST(Marshalling, RegistrationCoversTheMarshalledInterfaces)
{
    Apartment apartment;
    CLSID found = GUID_NULL;
    EXPECT_HRESULT_FAILED(CoGetPSClsid(IID_IParcel, &found));
    {
        CProxyStubRegistration proxies;
        ASSERT_EQ(12u, proxies.registered());
        const proxy_stub_set& marshalled = LauncherProxyStubs();
        for (const IID* iid : std::span(marshalled.interfaces, marshalled.count)) {
            ASSERT_EQ(S_OK, CoGetPSClsid(*iid, &found));
            EXPECT_TRUE(IsEqualGUID(*iid, found));
            com::ComPtr<IPSFactoryBuffer> factory;
            EXPECT_EQ(S_OK, CoGetClassObject(*iid, CLSCTX_INPROC_SERVER, nullptr, IID_IPSFactoryBuffer,
                                             factory.PutVoid()));
        }
        for (const IID* iid : {&IID_ISuiteUIExtension, &IID_ISuiteUIExtension2, &IID_IRegistryObject,
                               &IID_IFileObject, &IID_IPlatformObject, &IID_IParcelObject, &IID_IFeatureObject})
            EXPECT_HRESULT_FAILED(CoGetPSClsid(*iid, &found));
    }
    com::ComPtr<IPSFactoryBuffer> factory;
    EXPECT_HRESULT_FAILED(CoGetClassObject(IID_IParcel, CLSCTX_INPROC_SERVER, nullptr, IID_IPSFactoryBuffer,
                                   factory.PutVoid()));
}
