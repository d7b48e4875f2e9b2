#pragma once

// "Parcel": what the user interface sees of one parcel of the suite, as text.

#include <span>

#include <com/ComPtr.h>
#include <com/Dispatch.h>
#include <com/Object.h>

#include "automation/Interfaces.h"

class CParcelObject : public com::ObjectRoot, public com::DispatchImpl<IParcelObject> {
public:
    static std::span<const com::InterfaceEntry> InterfaceTable() noexcept;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override = 0;
    STDMETHODIMP_(ULONG) AddRef() override = 0;
    STDMETHODIMP_(ULONG) Release() override = 0;

    // Every member but Ctor answers 0x800401FD until Ctor found the parcel.
    STDMETHODIMP get_Name(BSTR* name) override;
    STDMETHODIMP get_Description(BSTR* description) override;
    STDMETHODIMP get_Eligible(BSTR* eligible) override;
    STDMETHODIMP get_ActionState(BSTR* state) override;
    STDMETHODIMP get_DetectedState(BSTR* state) override;
    STDMETHODIMP get_ExitCode(BSTR* exitCode) override;
    STDMETHODIMP get_Type(BSTR* type) override;
    STDMETHODIMP Ctor(BSTR parcelId) override;

protected:
    CParcelObject();
    ~CParcelObject() = default;

private:
    // Reads a number or boolean of the parcel; E_INVALIDARG without an output.
    template <class Value>
    HRESULT ValueMember(HRESULT (STDMETHODCALLTYPE IParcel::*getter)(Value*), BSTR* out);

    com::ComPtr<IParcel> m_parcel;
};
