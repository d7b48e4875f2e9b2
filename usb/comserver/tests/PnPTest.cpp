// Plug-and-play notification: simulated plugs and unplugs reach the object
// that enabled the class, on the notifier's own thread.
#include "DeviceSupport.h"

#include <com/Bstr.h>

#include <atomic>

namespace {

const DISPID kDeviceArrival = 4;
const DISPID kDeviceRemoval = 5;
const LONG kAlreadyCalled = static_cast<LONG>(0xE000A011);

// Classes of their own, so that no other test's devices are heard here.
const GUID kClassOne = {0x6C1F3A52, 0x8E0D, 0x4B7A, {0x9C, 0x21, 0x3D, 0x5E, 0x7F, 0x80, 0x91, 0xA1}};
const wchar_t kClassOneText[] = L"{6C1F3A52-8E0D-4B7A-9C21-3D5E7F8091A1}";
const GUID kClassTwo = {0x6C1F3A52, 0x8E0D, 0x4B7A, {0x9C, 0x21, 0x3D, 0x5E, 0x7F, 0x80, 0x91, 0xA2}};
const wchar_t kClassTwoText[] = L"{6C1F3A52-8E0D-4B7A-9C21-3D5E7F8091A2}";

class PnPTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim = DravioSim_GetController();
        ASSERT_NE(sim, nullptr);
        server = std::make_unique<ServerModule>(ProgramFolder() + L"\\DravioCOM_x64_sim.dll");
        ASSERT_TRUE(server->Loaded());
    }

    LONG Enable(IDravioInterface *object, const wchar_t *text)
    {
        com::Bstr deviceClass(text);
        LONG status = -1;
        EXPECT_EQ(object->EnablePnPNotification(deviceClass.Get(), &status), S_OK);
        return status;
    }

    LONG Disable(IDravioInterface *object, const wchar_t *text)
    {
        com::Bstr deviceClass(text);
        LONG status = -1;
        EXPECT_EQ(object->DisablePnPNotification(deviceClass.Get(), &status), S_OK);
        return status;
    }

    uint32_t Plug(const GUID &deviceClass)
    {
        dravio::sim::DeviceSetup setup{};
        setup.interfaceClass = deviceClass;
        uint32_t number = 0;
        EXPECT_EQ(sim->AddDevice(setup, &number), 0u);
        return number;
    }

    Apartment apartment;
    dravio::sim::ISimController *sim = nullptr;
    std::unique_ptr<ServerModule> server;
};

TEST_F(PnPTest, PlugAndUnplugAreToldOnTheNotifierThread)
{
    com::ComPtr<IDravioInterface> object = server->Create();
    com::ComPtr<IDravioInterface> other = server->Create();
    EventSink sink;
    Connection connection(object.Get(), &sink);
    ASSERT_EQ(Enable(object.Get(), kClassOneText), 0);
    EXPECT_EQ(Enable(object.Get(), kClassOneText), kAlreadyCalled);
    EXPECT_EQ(Enable(other.Get(), kClassOneText), kAlreadyCalled);

    // The simulated driver's broadcast returns once the window has answered it.
    uint32_t number = Plug(kClassOne);
    ASSERT_EQ(sim->RemoveDevice(number), 0u);
    std::vector<ReceivedEvent> events = sink.Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].id, kDeviceArrival);
    EXPECT_EQ(events[1].id, kDeviceRemoval);
    com::ComPtr<IUnknown> identity;
    ASSERT_EQ(object.As(IID_IUnknown, identity), S_OK);
    for (const ReceivedEvent &e : events) {
        EXPECT_NE(e.thread, GetCurrentThreadId());
        EXPECT_EQ(e.thread, events[0].thread);
        EXPECT_EQ(e.source, identity.Get());
    }

    // Any object of the process may end it; then nothing is told any more.
    EXPECT_EQ(Disable(other.Get(), kClassOneText), 0);
    EXPECT_EQ(Disable(object.Get(), kClassOneText), 0);
    sim->RemoveDevice(Plug(kClassOne));
    EXPECT_EQ(sink.Events().size(), 2u);
}

TEST_F(PnPTest, TwoClassesOfOneObjectHaveThreadsOfTheirOwn)
{
    com::ComPtr<IDravioInterface> object = server->Create();
    EventSink sink;
    Connection connection(object.Get(), &sink);
    ASSERT_EQ(Enable(object.Get(), kClassOneText), 0);
    ASSERT_EQ(Enable(object.Get(), kClassTwoText), 0);
    uint32_t one = Plug(kClassOne);
    uint32_t two = Plug(kClassTwo);
    std::vector<ReceivedEvent> events = sink.Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_NE(events[0].thread, events[1].thread);
    sim->RemoveDevice(one);
    sim->RemoveDevice(two);
    EXPECT_EQ(Disable(object.Get(), kClassOneText), 0);
    EXPECT_EQ(Disable(object.Get(), kClassTwoText), 0);
}

TEST_F(PnPTest, AHundredEnableDisablePairsComeBack)
{
    com::ComPtr<IDravioInterface> object = server->Create();
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(Enable(object.Get(), kClassOneText), 0) << i;
        ASSERT_EQ(Disable(object.Get(), kClassOneText), 0) << i;
    }
}

TEST_F(PnPTest, DisablingFromInsideTheArrivalHandlerComesBack)
{
    com::ComPtr<IDravioInterface> object = server->Create();
    EventSink sink;
    std::atomic<LONG> fromHandler = -1;
    IDravioInterface *raw = object.Get();
    sink.handler = [&](DISPID id, IDispatch *) {
        if (id == kDeviceArrival) {
            com::Bstr deviceClass(kClassOneText);
            LONG status = -1;
            raw->DisablePnPNotification(deviceClass.Get(), &status);
            fromHandler = status;
        }
    };
    Connection connection(object.Get(), &sink);
    ASSERT_EQ(Enable(object.Get(), kClassOneText), 0);
    uint32_t number = Plug(kClassOne);
    EXPECT_EQ(fromHandler, 0);
    sim->RemoveDevice(number);
    EXPECT_EQ(sink.Count(kDeviceRemoval), 0u);
    // The class is free again.
    EXPECT_EQ(Enable(object.Get(), kClassOneText), 0);
    EXPECT_EQ(Disable(object.Get(), kClassOneText), 0);
}

TEST_F(PnPTest, AnObjectThatGoesTakesItsNotifiersWithIt)
{
    com::ComPtr<IDravioInterface> object = server->Create();
    EventSink sink;
    {
        Connection connection(object.Get(), &sink);
        ASSERT_EQ(Enable(object.Get(), kClassOneText), 0);
    }
    object.Reset();
    sim->RemoveDevice(Plug(kClassOne));
    EXPECT_EQ(server->CanUnloadNow(), S_OK);

    com::ComPtr<IDravioInterface> next = server->Create();
    EXPECT_EQ(Enable(next.Get(), kClassOneText), 0);
    EXPECT_EQ(Disable(next.Get(), kClassOneText), 0);
}

} // namespace
