#pragma once

// "Registry": a value of one key, read through the registry provider.

#include <windows.h>

#include <span>

#include <com/Dispatch.h>
#include <com/Object.h>

#include "automation/Interfaces.h"
#include "kr/stringx.h"

class CRegistryObject : public com::ObjectRoot, public com::DispatchImpl<IRegistryObject> {
public:
    static std::span<const com::InterfaceEntry> InterfaceTable() noexcept;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override = 0;
    STDMETHODIMP_(ULONG) AddRef() override = 0;
    STDMETHODIMP_(ULONG) Release() override = 0;

    // The key's default value.
    STDMETHODIMP get_Value(BSTR* value) override;
    // 0x800703F2 until a Ctor gave a known root and a sub-key.
    STDMETHODIMP get_KeyValue(BSTR valueName, BSTR* value) override;
    // bstrKey is ROOT\sub-key with a short root name; "true" asks for the 64-bit view.
    STDMETHODIMP Ctor(BSTR key, BSTR is64BitKey) override;

protected:
    CRegistryObject();
    ~CRegistryObject() = default;

private:
    HKEY m_root;
    bool m_check64Bit = false;
    _stringx m_subKey;
};
