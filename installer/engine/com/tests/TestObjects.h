#pragma once

// Stand-ins for the launcher's objects that implement the library's
// interfaces (parcel, feature, engine, a scripting object), built on the COM
// layer with their IDispatch read from the embedded type library, and an
// apartment per thread.

#include "automation/RefCollection.h"
#include "automation/TypeLibrary.h"

#include <com/Bstr.h>
#include <com/ConnectionPoint.h>
#include <com/Object.h>

#include <map>
#include <string>
#include <vector>

class Apartment {
public:
    explicit Apartment(DWORD model = COINIT_APARTMENTTHREADED) : hr_(CoInitializeEx(nullptr, model)) {}
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;
    ~Apartment()
    {
        if (SUCCEEDED(hr_))
            CoUninitialize();
    }

private:
    HRESULT hr_;
};

inline HRESULT CopyText(const std::wstring& text, BSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

inline std::wstring Text(BSTR value)
{
    return value ? std::wstring(value, SysStringLen(value)) : std::wstring();
}

class TestParcel : public com::ObjectRoot, public com::DispatchImpl<IParcel2> {
public:
    explicit TestParcel(std::wstring name)
        : com::DispatchImpl<IParcel2>(TessarelTypeInfo<&IID_IParcel2>()), name_(std::move(name))
    {
    }

    static std::span<const com::InterfaceEntry> InterfaceTable() noexcept
    {
        static const com::InterfaceEntry table[] = {
            com::InterfaceOf<TestParcel, IParcel2>(IID_IParcel2),
            com::InterfaceOf<TestParcel, IParcel>(IID_IParcel),
            com::InterfaceOf<TestParcel, IDispatch>(IID_IDispatch),
        };
        return table;
    }

    STDMETHODIMP get_Name(BSTR* name) override { return CopyText(name_, name); }
    STDMETHODIMP get_Description(BSTR* text) override { return CopyText(L"description of " + name_, text); }
    STDMETHODIMP get_ID(BSTR* id) override { return CopyText(name_, id); }
    STDMETHODIMP get_Eligible(VARIANT_BOOL* value) override { return Put(value, VARIANT_TRUE); }
    STDMETHODIMP get_Required(VARIANT_BOOL* value) override { return Put(value, VARIANT_FALSE); }
    STDMETHODIMP get_ActionState(EnumParcelInstallState* state) override { return Put(state, action_); }
    STDMETHODIMP put_ActionState(EnumParcelInstallState state) override
    {
        action_ = state;
        return S_OK;
    }
    STDMETHODIMP get_DetectedState(EnumParcelInstallState* state) override { return Put(state, episAbsent); }
    STDMETHODIMP get_ExitCode(int* code) override { return Put(code, 0); }
    STDMETHODIMP get_Type(EnumParcelType* type) override { return Put(type, eptExe); }
    STDMETHODIMP get_UIType(EnumParcelUIType* type) override { return Put(type, eputIgnore); }

    STDMETHODIMP SendOnParcelProgress(BSTR, int current, int, EnumProgressFlags, VARIANT_BOOL* cancel) override
    {
        return Put(cancel, current < 0 ? VARIANT_TRUE : VARIANT_FALSE);
    }
    STDMETHODIMP SendOnNextDisk(BSTR source, VARIANT_BOOL* cancel, BSTR* media) override
    {
        if (!cancel)
            return E_POINTER;
        *cancel = VARIANT_FALSE;
        return CopyText(L"media for " + Text(source), media);
    }
    STDMETHODIMP SendOnError(BSTR message, int flags, int* action) override
    {
        last_error_message = Text(message);
        return Put(action, flags + 1);
    }

    std::wstring last_error_message;

private:
    template <class T, class V>
    static HRESULT Put(T* out, V value)
    {
        if (!out)
            return E_POINTER;
        *out = value;
        return S_OK;
    }

    std::wstring name_;
    EnumParcelInstallState action_ = episNoAction;
};

class TestFeature : public com::ObjectRoot, public com::DispatchImpl<IFeature> {
public:
    explicit TestFeature(std::wstring name)
        : com::DispatchImpl<IFeature>(TessarelTypeInfo<&IID_IFeature>()), name_(std::move(name))
    {
    }

    static std::span<const com::InterfaceEntry> InterfaceTable() noexcept
    {
        static const com::InterfaceEntry table[] = {
            com::InterfaceOf<TestFeature, IFeature>(IID_IFeature),
            com::InterfaceOf<TestFeature, IDispatch>(IID_IDispatch),
        };
        return table;
    }

    STDMETHODIMP get_DisplayName(BSTR* name) override { return CopyText(L"Feature " + name_, name); }
    STDMETHODIMP get_Description(BSTR* text) override { return CopyText(L"", text); }
    STDMETHODIMP get_Cost(__int64* cost) override { return Put(cost, 0x100000000LL); }
    STDMETHODIMP get_ActionState(EnumFeatureActionState* state) override { return Put(state, efasNoAction); }
    STDMETHODIMP put_ActionState(EnumFeatureActionState) override { return S_OK; }
    STDMETHODIMP get_Name(BSTR* name) override { return CopyText(name_, name); }
    STDMETHODIMP get_Features(IFeatures** features) override { return Put(features, nullptr); }
    STDMETHODIMP get_Visible(VARIANT_BOOL* value) override { return Put(value, VARIANT_TRUE); }
    STDMETHODIMP get_InstalledState(EnumFeatureInstalledState* state) override { return Put(state, efisAbsent); }
    STDMETHODIMP get_AllowSelectionChange(VARIANT_BOOL* value) override { return Put(value, VARIANT_TRUE); }

private:
    template <class T, class V>
    static HRESULT Put(T* out, V value)
    {
        if (!out)
            return E_POINTER;
        *out = value;
        return S_OK;
    }

    std::wstring name_;
};

// The engine's automation face as far as the tests need it: properties,
// parcels, string resolution (an id without an entry resolves to itself) and
// the _IBootstrapEvents connection point.
class TestEngine : public com::ObjectRoot, public com::ConnectionPointContainer, public com::DispatchImpl<IBootstrap2> {
public:
    TestEngine()
        : com::DispatchImpl<IBootstrap2>(TessarelTypeInfo<&IID_IBootstrap2>()), events(*this, IID__IBootstrapEvents)
    {
        AddConnectionPoint(events);
    }

    static std::span<const com::InterfaceEntry> InterfaceTable() noexcept
    {
        static const com::InterfaceEntry table[] = {
            com::InterfaceOf<TestEngine, IBootstrap2>(IID_IBootstrap2),
            com::InterfaceOf<TestEngine, IBootstrap>(IID_IBootstrap),
            com::InterfaceOf<TestEngine, IDispatch>(IID_IDispatch),
            com::InterfaceOf<TestEngine, IConnectionPointContainer>(IID_IConnectionPointContainer),
        };
        return table;
    }

    STDMETHODIMP get_Property(BSTR name, BSTR* value) override { return CopyText(properties[Text(name)], value); }
    STDMETHODIMP put_Property(BSTR name, BSTR value) override
    {
        properties[Text(name)] = Text(value);
        return S_OK;
    }
    STDMETHODIMP get_Parcels(IParcels** out) override
    {
        if (!out)
            return E_POINTER;
        *out = parcels.CopyOut();
        return S_OK;
    }
    STDMETHODIMP get_InstallMode(EnumInstallMode* mode) override { return Put(mode, mode_); }
    STDMETHODIMP put_InstallMode(EnumInstallMode mode) override
    {
        mode_ = mode;
        return S_OK;
    }
    STDMETHODIMP get_BootstrapState(EnumBootstrapState* state) override { return Put(state, ebsInvalid); }
    STDMETHODIMP get_CommandLine(BSTR* text) override { return CopyText(L"/q", text); }
    STDMETHODIMP LogInfo(BSTR text) override
    {
        log.push_back(Text(text));
        return S_OK;
    }
    STDMETHODIMP get_ExitStatus(HRESULT* status) override { return Put(status, HRESULT_FROM_WIN32(3010)); }
    STDMETHODIMP get_Features(IFeatures** features) override { return Put(features, nullptr); }
    STDMETHODIMP get_IsMaintenance(VARIANT_BOOL* value) override { return Put(value, VARIANT_FALSE); }
    STDMETHODIMP SubstitutePropertyValues(BSTR original, BSTR* formatted) override
    {
        return CopyText(Text(original), formatted);
    }
    STDMETHODIMP ResolveString(BSTR id, BSTR* resolved) override
    {
        ++resolve_calls;
        resolver_thread = GetCurrentThreadId();
        const auto found = strings.find(Text(id));
        return CopyText(found == strings.end() ? Text(id) : found->second, resolved);
    }
    STDMETHODIMP ResolveStringAndPerformSubstitutionForEmbeddedProperties(BSTR id, BSTR* resolved) override
    {
        return ResolveString(id, resolved);
    }
    STDMETHODIMP IsUpdateAvailable(VARIANT_BOOL* available) override { return Put(available, VARIANT_TRUE); }
    STDMETHODIMP InstallUpdate() override { return S_OK; }
    STDMETHODIMP RunAction(BSTR action) override
    {
        log.push_back(L"action " + Text(action));
        return S_OK;
    }

    com::ConnectionPoint events;
    com::ComPtr<IParcels> parcels;
    std::map<std::wstring, std::wstring> properties;
    std::map<std::wstring, std::wstring> strings;
    std::vector<std::wstring> log;
    int resolve_calls = 0;
    DWORD resolver_thread = 0;

private:
    template <class T, class V>
    static HRESULT Put(T* out, V value)
    {
        if (!out)
            return E_POINTER;
        *out = value;
        return S_OK;
    }

    EnumInstallMode mode_ = eimInstall;
};

// Records what Ctor received, to show the library's default for an omitted argument.
class TestRegistryObject : public com::ObjectRoot, public com::DispatchImpl<IRegistryObject> {
public:
    TestRegistryObject() : com::DispatchImpl<IRegistryObject>(TessarelTypeInfo<&IID_IRegistryObject>()) {}

    static std::span<const com::InterfaceEntry> InterfaceTable() noexcept
    {
        static const com::InterfaceEntry table[] = {
            com::InterfaceOf<TestRegistryObject, IRegistryObject>(IID_IRegistryObject),
            com::InterfaceOf<TestRegistryObject, IDispatch>(IID_IDispatch),
        };
        return table;
    }

    STDMETHODIMP get_Value(BSTR* value) override { return CopyText(key, value); }
    STDMETHODIMP get_KeyValue(BSTR name, BSTR* value) override { return CopyText(key + L"\\" + Text(name), value); }
    STDMETHODIMP Ctor(BSTR key_name, BSTR is_64_bit) override
    {
        key = Text(key_name);
        view = is_64_bit ? Text(is_64_bit) : L"<null>";
        return S_OK;
    }

    std::wstring key;
    std::wstring view = L"<not called>";
};
