// Object base, interface table, aggregation, class factory and module lock,
// seen from a client that loads the server through its exports.
#include "TestSupport.h"

namespace {

// An outer object that aggregates a counter and exposes its interfaces as its own.
class Outer : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void **out) override
    {
        if (IsEqualIID(iid, IID_IUnknown)) {
            *out = static_cast<IUnknown *>(this);
            AddRef();
            return S_OK;
        }
        if (IsEqualIID(iid, IID_IPersist)) { // something the counter does not have
            *out = nullptr;
            return E_NOINTERFACE;
        }
        return inner.Get() ? inner->QueryInterface(iid, out) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs); }
    STDMETHODIMP_(ULONG) Release() override { return InterlockedDecrement(&refs); }

    LONG refs = 1;
    com::ComPtr<IUnknown> inner;
};

class ObjectTest : public ::testing::Test {
protected:
    Apartment apartment;
    TestServer server;
};

TEST_F(ObjectTest, QueryInterfaceFollowsTheTableAndKeepsOneIdentity)
{
    com::ComPtr<ICounter> counter = server.NewCounter();
    ASSERT_TRUE(counter);

    com::ComPtr<IUnknown> identity;
    ASSERT_EQ(counter->QueryInterface(IID_IUnknown, identity.PutVoid()), S_OK);
    com::ComPtr<IDispatch> dispatch;
    ASSERT_EQ(counter->QueryInterface(IID_IDispatch, dispatch.PutVoid()), S_OK);
    com::ComPtr<IUnknown> identityAgain;
    ASSERT_EQ(dispatch->QueryInterface(IID_IUnknown, identityAgain.PutVoid()), S_OK);
    EXPECT_EQ(identity.Get(), identityAgain.Get());

    com::ComPtr<IConnectionPointContainer> container;
    EXPECT_EQ(counter->QueryInterface(IID_IConnectionPointContainer, container.PutVoid()), S_OK);

    com::ComPtr<IUnknown> none;
    void *raw = reinterpret_cast<void *>(1);
    EXPECT_EQ(counter->QueryInterface(IID_IPersist, &raw), E_NOINTERFACE);
    EXPECT_EQ(raw, nullptr);
    EXPECT_EQ(counter->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(ObjectTest, FunctionRowAnswersWithItsOwnObject)
{
    com::ComPtr<ICounter> counter = server.NewCounter();
    ASSERT_TRUE(counter);
    LONG total = 0;
    ASSERT_EQ(counter->Add(41, &total), S_OK);

    com::ComPtr<ICounterTag> tag;
    ASSERT_EQ(counter->QueryInterface(IID_ICounterTag, tag.PutVoid()), S_OK);
    LONG seen = 0;
    ASSERT_EQ(tag->Total(&seen), S_OK);
    EXPECT_EQ(seen, 41);
    // The tag keeps the counter alive after the client drops it.
    counter.Reset();
    ASSERT_EQ(tag->Total(&seen), S_OK);
    EXPECT_EQ(seen, 41);
}

TEST_F(ObjectTest, ReferenceCountGoesUpAndDownAndTheObjectHoldsTheModule)
{
    EXPECT_EQ(server.CanUnloadNow(), S_OK);
    com::ComPtr<ICounter> counter = server.NewCounter();
    ASSERT_TRUE(counter);
    EXPECT_EQ(ObservedRefCount(counter.Get()), 1u);
    EXPECT_EQ(server.CanUnloadNow(), S_FALSE);
    counter.Reset();
    EXPECT_EQ(server.CanUnloadNow(), S_OK);
}

TEST_F(ObjectTest, FactoryLockServerHoldsTheModuleAndUnknownClassesAreRefused)
{
    com::ComPtr<IClassFactory> factory;
    ASSERT_EQ(server.GetClassObject(CLSID_Counter, IID_IClassFactory, factory.PutVoid()), S_OK);
    // The cached factory itself does not keep the server loaded.
    EXPECT_EQ(server.CanUnloadNow(), S_OK);
    com::ComPtr<IClassFactory> again;
    ASSERT_EQ(server.GetClassObject(CLSID_Counter, IID_IClassFactory, again.PutVoid()), S_OK);
    EXPECT_EQ(factory.Get(), again.Get());

    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(server.CanUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(server.CanUnloadNow(), S_OK);

    com::ComPtr<IClassFactory> none;
    EXPECT_EQ(server.GetClassObject(IID_IPersist, IID_IClassFactory, none.PutVoid()), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_ICounter, nullptr), E_POINTER);
}

TEST_F(ObjectTest, AggregatedCounterDelegatesToItsOuterObject)
{
    com::ComPtr<IClassFactory> factory;
    ASSERT_EQ(server.GetClassObject(CLSID_Counter, IID_IClassFactory, factory.PutVoid()), S_OK);

    Outer outer;
    void *refused = reinterpret_cast<void *>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_ICounter, &refused), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(refused, nullptr);

    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, outer.inner.PutVoid()), S_OK);
    EXPECT_EQ(outer.refs, 1); // the inner unknown counts on its own
    {
        com::ComPtr<ICounter> counter;
        ASSERT_EQ(outer.QueryInterface(IID_ICounter, counter.PutVoid()), S_OK);
        EXPECT_EQ(outer.refs, 2); // interfaces of the inner object count on the outer one
        com::ComPtr<IUnknown> identity;
        ASSERT_EQ(counter->QueryInterface(IID_IUnknown, identity.PutVoid()), S_OK);
        EXPECT_EQ(identity.Get(), static_cast<IUnknown *>(&outer));
        com::ComPtr<IPersist> missing;
        EXPECT_EQ(counter->QueryInterface(IID_IPersist, missing.PutVoid()), E_NOINTERFACE);
        LONG total = 0;
        EXPECT_EQ(counter->Add(5, &total), S_OK);
        EXPECT_EQ(total, 5);
    }
    EXPECT_EQ(outer.refs, 1);
    EXPECT_EQ(server.CanUnloadNow(), S_FALSE);
    outer.inner.Reset();
    EXPECT_EQ(server.CanUnloadNow(), S_OK);
}

} // namespace
