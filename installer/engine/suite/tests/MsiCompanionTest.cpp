// A 64-bit Windows Installer parcel of a real package, built with wixl: its
// transaction opens in the 64-bit companion Veltrun64.exe, the package runs
// there through request 2, and msi.dll's messages reach the parcel's sinks
// in the engine.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ProxyTestSupport.h"
#include "TestMsiProduct.h"
#include "parcels/MsiFunctions.h"
#include "parcels/Parcel.h"
#include "parcels/Transaction.h"

using namespace proxy_testing;
using namespace parcel_testing;

namespace {

// Counts the parcel's progress events; knows only IDispatch.
class ProgressSink final : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__IParcelEvents) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override { return --m_refs; }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override
    {
        ids.push_back(id);
        // OnParcelProgress(message, current, maximum, flags, cancel), arguments last first.
        if (id == 2 && params->cArgs == 5 && params->rgvarg[1].lVal == 1)
            positions.emplace_back(params->rgvarg[3].lVal, params->rgvarg[2].lVal);
        return S_OK;
    }

    std::vector<DISPID> ids;
    std::vector<std::pair<int, int>> positions; // current, maximum
private:
    ULONG m_refs = 1;
};

using MsiCompanion = ProxyEngine;

TEST_F(MsiCompanion, ASixtyFourBitPackageRunsInTheCompanion)
{
    RemoveTestMsiProduct();
    ASSERT_EQ(InstalledTestMsiVersion(), L"");

    CParcel* parcel = m_engine->CreateParcel(L"Msi");
    ASSERT_NE(parcel, nullptr);
    parcel->SetAttribute(L"Id", L"Package64");
    parcel->SetAttribute(L"ProductCode", kTestMsiProduct);
    parcel->SetAttribute(L"ProductVersion", L"1.2.3");
    parcel->SetAttribute(L"Platform", L"x64");
    parcel->SetAttribute(L"ProgressCapture", L"Hide");
    parcel->LoadStateValue(CStateEntry(L"PackagePath", TestMsiFolder().c_str()));
    auto operation = std::make_unique<COperation>();
    operation->SetAttribute(L"Name", L"Install");
    operation->SetAttribute(L"Target", L"ParcelOld.msi");
    parcel->AddOperation(std::move(operation));
    ASSERT_EQ(parcel->ApplyFeatureRequest(1), S_OK);
    ProgressSink sink;
    com::ComPtr<IConnectionPointContainer> container;
    parcel->QueryInterface(IID_IConnectionPointContainer, container.PutVoid());
    com::ComPtr<IConnectionPoint> point;
    container->FindConnectionPoint(IID__IParcelEvents, point.Put());
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);

    CTransaction& transaction = m_engine->AddTransaction(std::make_unique<CTransaction>(false));
    transaction.AddParcel(*parcel);
    EXPECT_EQ(transaction.Run(), S_OK);
    point->Unadvise(cookie);

    EXPECT_NE(Slots().x64.get(), nullptr);
    EXPECT_EQ(InstalledTestMsiVersion(), L"1.2.3");
    ASSERT_GE(sink.positions.size(), 2u);
    EXPECT_EQ(sink.positions.front().first, 0);
    EXPECT_GT(sink.positions.front().second, 0);
    EXPECT_NE(m_trace.Messages().find(L"MSI parcel operation requires elevation"), std::wstring::npos);
    RemoveTestMsiProduct();
}

} // namespace
