// The test server's one class: a counter with a name, its history as a
// collection, and events for every change.
#pragma once

#include <com/ConnectionPoint.h>
#include <com/Dispatch.h>
#include <com/Lock.h>
#include <com/Object.h>

#include "ComLayerTest.h"

#include <span>
#include <string>
#include <vector>

class Counter : public com::ObjectRoot, public com::ConnectionPointContainer, public com::DispatchImpl<ICounter> {
public:
    Counter();

    static std::span<const com::InterfaceEntry> InterfaceTable() noexcept;
    static com::TypeInfoSource &TypeInfo() noexcept;

    STDMETHODIMP Add(LONG amount, LONG *total) override;
    STDMETHODIMP get_Name(BSTR *name) override;
    STDMETHODIMP put_Name(BSTR name) override;
    STDMETHODIMP Sum(SAFEARRAY **values, LONG *sum) override;
    STDMETHODIMP Split(LONG value, LONG *high, LONG *low) override;
    STDMETHODIMP Refuse(LONG code) override;
    STDMETHODIMP get__NewEnum(IUnknown **items) override;

    LONG Total();

private:
    static HRESULT QueryTag(Counter *self, REFIID iid, void **out);

    com::ConnectionPoint events_;
    com::CriticalSection lock_;
    LONG total_ = 0;
    std::wstring name_;
    std::vector<LONG> history_;
};
