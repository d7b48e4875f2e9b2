#pragma once

// "Platform": the Windows version the engine read once, and the machine's
// processor architecture.

#include <span>

#include <com/Dispatch.h>
#include <com/Object.h>

#include "automation/Interfaces.h"

class CPlatformObject : public com::ObjectRoot, public com::DispatchImpl<IPlatformObject> {
public:
    static std::span<const com::InterfaceEntry> InterfaceTable() noexcept;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override = 0;
    STDMETHODIMP_(ULONG) AddRef() override = 0;
    STDMETHODIMP_(ULONG) Release() override = 0;

    STDMETHODIMP get_Value(BSTR* value) override;
    STDMETHODIMP get_MajorVersion(BSTR* value) override;
    STDMETHODIMP get_MinorVersion(BSTR* value) override;
    STDMETHODIMP get_ServicePackVersion(BSTR* value) override;
    STDMETHODIMP get_FullVersion(BSTR* value) override;
    STDMETHODIMP get_CSDVersion(BSTR* value) override;
    STDMETHODIMP get_BuildNumber(BSTR* value) override;
    STDMETHODIMP get_ProductType(BSTR* value) override;
    STDMETHODIMP get_Architecture(BSTR* value) override;

protected:
    CPlatformObject();
    ~CPlatformObject() = default;
};
