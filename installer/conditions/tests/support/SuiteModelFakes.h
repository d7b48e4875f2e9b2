#pragma once

// Stand-ins for the engine's parcels, features and parcel collection as the
// suite-state conditions see them through their automation interfaces. They
// live on the test's stack: reference counts are not kept.

#include <windows.h>

#include <functional>
#include <map>
#include <string>

#include "automation/Interfaces.h"

namespace testing_support {

template <class Interface>
class UncountedDispatch : public Interface {
public:
    STDMETHODIMP QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
};

// A parcel whose eligibility is computed by a function of the test.
class FakeParcel : public UncountedDispatch<IParcel2> {
public:
    std::function<HRESULT(VARIANT_BOOL*)> eligible;
    EnumParcelInstallState actionState = episNoAction;

    STDMETHODIMP get_Eligible(VARIANT_BOOL* value) override
    {
        *value = VARIANT_FALSE;
        return eligible ? eligible(value) : S_OK;
    }
    STDMETHODIMP get_ActionState(EnumParcelInstallState* state) override
    {
        *state = actionState;
        return S_OK;
    }
    STDMETHODIMP put_ActionState(EnumParcelInstallState state) override
    {
        actionState = state;
        return S_OK;
    }
    STDMETHODIMP get_Name(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_Description(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_ID(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_Required(VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP get_DetectedState(EnumParcelInstallState*) override { return E_NOTIMPL; }
    STDMETHODIMP get_ExitCode(int*) override { return E_NOTIMPL; }
    STDMETHODIMP get_Type(EnumParcelType*) override { return E_NOTIMPL; }
    STDMETHODIMP get_UIType(EnumParcelUIType*) override { return E_NOTIMPL; }
    STDMETHODIMP SendOnParcelProgress(BSTR, int, int, EnumProgressFlags, VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP SendOnNextDisk(BSTR, VARIANT_BOOL*, BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP SendOnError(BSTR, int, int*) override { return E_NOTIMPL; }
};

class FakeFeature : public UncountedDispatch<IFeature> {
public:
    EnumFeatureActionState actionState = efasNoAction;

    STDMETHODIMP get_ActionState(EnumFeatureActionState* state) override
    {
        *state = actionState;
        return S_OK;
    }
    STDMETHODIMP put_ActionState(EnumFeatureActionState state) override
    {
        actionState = state;
        return S_OK;
    }
    STDMETHODIMP get_DisplayName(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_Description(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_Cost(__int64*) override { return E_NOTIMPL; }
    STDMETHODIMP get_Name(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_Features(IFeatures**) override { return E_NOTIMPL; }
    STDMETHODIMP get_Visible(VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP get_InstalledState(EnumFeatureInstalledState*) override { return E_NOTIMPL; }
    STDMETHODIMP get_AllowSelectionChange(VARIANT_BOOL*) override { return E_NOTIMPL; }
};

// Item by id answers E_INVALIDARG for an id it does not hold, as the engine's collection does.
class FakeParcels : public UncountedDispatch<IParcels> {
public:
    std::map<std::wstring, FakeParcel*> parcels;

    STDMETHODIMP get_Item(VARIANT index, IParcel** out) override
    {
        *out = nullptr;
        if (index.vt != VT_BSTR)
            return E_INVALIDARG;
        // Ids match without regard to case.
        for (const auto& [id, parcel] : parcels) {
            if (_wcsicmp(id.c_str(), index.bstrVal) == 0) {
                *out = parcel;
                return S_OK;
            }
        }
        return E_INVALIDARG;
    }
    STDMETHODIMP get_Count(long* count) override
    {
        *count = static_cast<long>(parcels.size());
        return S_OK;
    }
    STDMETHODIMP get__NewEnum(IUnknown**) override { return E_NOTIMPL; }
};

} // namespace testing_support
