#pragma once

// "Feature": what the user interface sees of one feature of the suite, as text.

#include <span>

#include <com/ComPtr.h>
#include <com/Dispatch.h>
#include <com/Object.h>

#include "automation/Interfaces.h"

class CFeatureObject : public com::ObjectRoot, public com::DispatchImpl<IFeatureObject> {
public:
    static std::span<const com::InterfaceEntry> InterfaceTable() noexcept;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override = 0;
    STDMETHODIMP_(ULONG) AddRef() override = 0;
    STDMETHODIMP_(ULONG) Release() override = 0;

    // Every member but Ctor answers 0x800401FD until Ctor found the feature.
    STDMETHODIMP get_DisplayName(BSTR* displayName) override;
    STDMETHODIMP get_Description(BSTR* description) override;
    STDMETHODIMP get_Cost(BSTR* cost) override;
    STDMETHODIMP get_ActionState(BSTR* action) override;
    STDMETHODIMP get_Visible(BSTR* visible) override;
    STDMETHODIMP get_InstalledState(BSTR* installedState) override;
    STDMETHODIMP get_AllowSelectionChange(BSTR* allowChange) override;
    STDMETHODIMP Ctor(BSTR featureName) override;

protected:
    CFeatureObject();
    ~CFeatureObject() = default;

private:
    // Reads a number or boolean of the feature; E_INVALIDARG without an output.
    template <class Value>
    HRESULT ValueMember(HRESULT (STDMETHODCALLTYPE IFeature::*getter)(Value*), BSTR* out);

    com::ComPtr<IFeature> m_feature;
};
