#include "DeviceSupport.h"

#include <com/Bstr.h>

STDMETHODIMP EventSink::QueryInterface(REFIID iid, void **out)
{
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, DIID__IDravioInterfaceEvents)) {
        *out = static_cast<IDispatch *>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP EventSink::GetTypeInfoCount(UINT *count)
{
    *count = 0;
    return S_OK;
}

STDMETHODIMP EventSink::GetTypeInfo(UINT, LCID, ITypeInfo **)
{
    return DISP_E_BADINDEX;
}

STDMETHODIMP EventSink::GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *)
{
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS *params, VARIANT *, EXCEPINFO *, UINT *)
{
    ReceivedEvent event = {id, GetCurrentThreadId(), nullptr};
    IDispatch *source = nullptr;
    if (params && params->cArgs == 1 && params->rgvarg[0].vt == VT_DISPATCH) {
        source = params->rgvarg[0].pdispVal;
        com::ComPtr<IUnknown> identity;
        source->QueryInterface(IID_IUnknown, identity.PutVoid());
        event.source = identity.Get();
    }
    // The handler first: a test that saw the event may go on as if it had run.
    if (handler) {
        handler(id, source);
    }
    {
        std::lock_guard<std::mutex> hold(lock_);
        events_.push_back(event);
    }
    arrived_.notify_all();
    return S_OK;
}

bool EventSink::WaitFor(DISPID id, size_t count, DWORD timeoutMs)
{
    std::unique_lock<std::mutex> hold(lock_);
    return arrived_.wait_for(hold, std::chrono::milliseconds(timeoutMs), [&] {
        size_t seen = 0;
        for (const ReceivedEvent &e : events_) {
            seen += e.id == id ? 1 : 0;
        }
        return seen >= count;
    });
}

std::vector<ReceivedEvent> EventSink::Events()
{
    std::lock_guard<std::mutex> hold(lock_);
    return events_;
}

size_t EventSink::Count(DISPID id)
{
    std::lock_guard<std::mutex> hold(lock_);
    size_t seen = 0;
    for (const ReceivedEvent &e : events_) {
        seen += e.id == id ? 1 : 0;
    }
    return seen;
}

Connection::Connection(IUnknown *object, IUnknown *sink)
{
    com::ComPtr<IConnectionPointContainer> container;
    if (SUCCEEDED(object->QueryInterface(IID_IConnectionPointContainer, container.PutVoid())) &&
        SUCCEEDED(container->FindConnectionPoint(DIID__IDravioInterfaceEvents, point_.Put()))) {
        point_->Advise(sink, &cookie_);
    }
}

Connection::~Connection()
{
    if (cookie_) {
        point_->Unadvise(cookie_);
    }
}

void DeviceTest::SetUp()
{
    sim_ = DravioSim_GetController();
    ASSERT_NE(sim_, nullptr);
    dravio::sim::DeviceSetup setup{};
    setup.interfaceClass = kDeviceClass;
    ASSERT_EQ(sim_->AddDevice(setup, &number_), 0u);
    ASSERT_EQ(sim_->SetLoopback(number_, 0x02, 0x81), 0u);
    server_ = std::make_unique<ServerModule>(ProgramFolder() + L"\\DravioCOM_x64_sim.dll");
    ASSERT_TRUE(server_->Loaded());
}

void DeviceTest::TearDown()
{
    if (sim_) {
        sim_->RemoveDevice(number_);
        sim_->SetCancelLatency(0);
    }
}

com::ComPtr<IDravioInterface> DeviceTest::OpenObject(bool configure)
{
    com::ComPtr<IDravioInterface> object = server_->Create();
    EXPECT_TRUE(object);
    if (!object) {
        return object;
    }
    com::Bstr deviceClass(kDeviceClassText);
    LONG count = 0;
    EXPECT_EQ(object->EnumerateDevices(deviceClass.Get(), &count), S_OK);
    EXPECT_EQ(count, 1);
    LONG status = -1;
    EXPECT_EQ(object->OpenDevice(0, &status), S_OK);
    EXPECT_EQ(status, 0);
    if (configure) {
        EXPECT_EQ(object->AddInterface(0, 0, 4096, &status), S_OK);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(object->SetConfiguration(0, &status), S_OK);
        EXPECT_EQ(status, 0);
    }
    return object;
}

LONG ReadWhenThere(IDravioInterface *reader, SAFEARRAY **data, LONG &length)
{
    LONG status = kNoData;
    ULONGLONG deadline = GetTickCount64() + kPatienceMs;
    while (GetTickCount64() < deadline) {
        reader->ReadData(data, &length, &status);
        if (status != kNoData) {
            break;
        }
        Sleep(1);
    }
    return status;
}
