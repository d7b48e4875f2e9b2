// Connection points: advise and unadvise, cookies, firing order and arguments.
#include "TestSupport.h"

#include <com/Bstr.h>

#include <olectl.h>

namespace {

class ConnectionPointTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        counter = server.NewCounter();
        ASSERT_TRUE(counter);
        com::ComPtr<IConnectionPointContainer> container;
        ASSERT_EQ(counter.As(IID_IConnectionPointContainer, container), S_OK);
        ASSERT_EQ(container->FindConnectionPoint(DIID__ICounterEvents, point.Put()), S_OK);
    }

    Apartment apartment;
    TestServer server;
    com::ComPtr<ICounter> counter;
    com::ComPtr<IConnectionPoint> point;
};

TEST_F(ConnectionPointTest, ContainerFindsOnlyItsEventsAndListsThem)
{
    com::ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(counter.As(IID_IConnectionPointContainer, container), S_OK);
    com::ComPtr<IConnectionPoint> other;
    EXPECT_EQ(container->FindConnectionPoint(IID_IPersist, other.Put()), CONNECT_E_NOCONNECTION);

    IID iid = {};
    ASSERT_EQ(point->GetConnectionInterface(&iid), S_OK);
    EXPECT_TRUE(IsEqualIID(iid, DIID__ICounterEvents));
    com::ComPtr<IConnectionPointContainer> back;
    ASSERT_EQ(point->GetConnectionPointContainer(back.Put()), S_OK);
    EXPECT_EQ(back.Get(), container.Get());

    com::ComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(container->EnumConnectionPoints(points.Put()), S_OK);
    IConnectionPoint *listed[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(points->Next(2, listed, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(listed[0], point.Get());
    listed[0]->Release();
}

TEST_F(ConnectionPointTest, CookiesStartAtOneAndFreedOnesAreReused)
{
    RecordingSink a, b, c;
    DWORD ca = 0, cb = 0, cc = 0;
    ASSERT_EQ(point->Advise(&a, &ca), S_OK);
    ASSERT_EQ(point->Advise(&b, &cb), S_OK);
    EXPECT_EQ(ca, 1u);
    EXPECT_EQ(cb, 2u);
    ASSERT_EQ(point->Unadvise(ca), S_OK);
    EXPECT_EQ(a.Refs(), 0);
    EXPECT_EQ(point->Unadvise(ca), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(point->Unadvise(0), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(point->Unadvise(77), CONNECT_E_NOCONNECTION);
    ASSERT_EQ(point->Advise(&c, &cc), S_OK);
    EXPECT_EQ(cc, 1u);

    com::ComPtr<IEnumConnections> connections;
    ASSERT_EQ(point->EnumConnections(connections.Put()), S_OK);
    CONNECTDATA listed[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(connections->Next(3, listed, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(listed[0].dwCookie, 1u);
    EXPECT_EQ(listed[0].pUnk, static_cast<IUnknown *>(&c));
    EXPECT_EQ(listed[1].dwCookie, 2u);
    for (ULONG i = 0; i < fetched; ++i) {
        listed[i].pUnk->Release();
    }
    connections.Reset();
    EXPECT_EQ(point->Unadvise(cb), S_OK);
    EXPECT_EQ(point->Unadvise(cc), S_OK);
}

TEST_F(ConnectionPointTest, SinkWithoutTheEventsInterfaceCannotConnect)
{
    RecordingSink wrong(IID_IPersist); // answers IDispatch but not the events interface
    DWORD cookie = 99;
    EXPECT_EQ(point->Advise(&wrong, &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(wrong.Refs(), 0);
    EXPECT_EQ(point->Advise(nullptr, &cookie), E_POINTER);
}

TEST_F(ConnectionPointTest, EventsReachEverySinkWithArgumentsReversedAndTheSourceHeld)
{
    RecordingSink first, second;
    DWORD c1 = 0, c2 = 0;
    ASSERT_EQ(point->Advise(&first, &c1), S_OK);
    ASSERT_EQ(point->Advise(&second, &c2), S_OK);

    ULONG refsOutside = ObservedRefCount(counter.Get());
    LONG total = 0;
    ASSERT_EQ(counter->Add(12, &total), S_OK);
    ULONG heldByEarlierRecords = 0;
    for (RecordingSink *sink : {&first, &second}) {
        std::vector<RecordedCall> calls = sink->Calls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].id, 1);
        ASSERT_EQ(calls[0].arguments.size(), 2u);
        // Declared (source, total); passed last first.
        EXPECT_EQ(calls[0].arguments[0].Type(), VT_I4);
        EXPECT_EQ(calls[0].arguments[0].Get().lVal, 12);
        ASSERT_EQ(calls[0].arguments[1].Type(), VT_DISPATCH);
        com::ComPtr<IUnknown> source;
        ASSERT_EQ(calls[0].arguments[1].Get().pdispVal->QueryInterface(IID_IUnknown, source.PutVoid()), S_OK);
        com::ComPtr<IUnknown> identity;
        ASSERT_EQ(counter.As(IID_IUnknown, identity), S_OK);
        EXPECT_EQ(source.Get(), identity.Get());
        // One reference for the argument, plus those of the copies earlier sinks recorded.
        EXPECT_EQ(calls[0].sourceRefsDuringCall, refsOutside + 1 + heldByEarlierRecords);
        ++heldByEarlierRecords;
    }

    ASSERT_EQ(counter->put_Name(com::Bstr(L"it's").Get()), S_OK);
    std::vector<RecordedCall> calls = first.Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].id, 2);
    ASSERT_EQ(calls[1].arguments.size(), 1u);
    EXPECT_STREQ(calls[1].arguments[0].Get().bstrVal, L"it's");

    EXPECT_EQ(point->Unadvise(c1), S_OK);
    EXPECT_EQ(point->Unadvise(c2), S_OK);
    EXPECT_EQ(first.Refs(), 0);
    EXPECT_EQ(second.Refs(), 0);
}

TEST_F(ConnectionPointTest, SinkMayUnadviseItselfWhileItIsCalled)
{
    struct Context {
        IConnectionPoint *point;
        DWORD cookie;
        HRESULT result;
    } context = {point.Get(), 0, E_FAIL};
    RecordingSink sink;
    sink.context = &context;
    sink.onCall = [](RecordingSink &self, const RecordedCall &) {
        auto *c = static_cast<Context *>(self.context);
        c->result = c->point->Unadvise(c->cookie);
    };
    ASSERT_EQ(point->Advise(&sink, &context.cookie), S_OK);
    LONG total = 0;
    ASSERT_EQ(counter->Add(1, &total), S_OK);
    EXPECT_EQ(context.result, S_OK);
    ASSERT_EQ(counter->Add(1, &total), S_OK);
    EXPECT_EQ(sink.Calls().size(), 1u);
    EXPECT_EQ(sink.Refs(), 0);
}

} // namespace
