#pragma once

// The ISuiteExtension object an extension condition's code receives: it
// reads the condition's attributes and reaches the engine's log and
// properties. It owns the delegate that finds and calls the extension's
// entry points. Each live handler holds a lock on the module.

#include <windows.h>

#include <memory>
#include <span>

#include <com/ComPtr.h>
#include <com/Dispatch.h>
#include <com/Object.h>

#include "automation/Interfaces.h"
#include "kr/stringx.h"

class CCondition;
class ExtensionDelegate;

class CExtensionHandler : public com::ObjectRoot, public com::DispatchImpl<ISuiteExtension> {
public:
    // A new handler with one reference; E_OUTOFMEMORY when it cannot be made.
    static HRESULT CreateInstance(com::ComPtr<com::Object<CExtensionHandler>>& out);
    static std::span<const com::InterfaceEntry> InterfaceTable() noexcept;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override = 0;
    STDMETHODIMP_(ULONG) AddRef() override = 0;
    STDMETHODIMP_(ULONG) Release() override = 0;

    // Builds a fresh delegate for the condition and runs the extension's validator.
    HRESULT Initialize(CCondition* condition, const _stringx& namespaceUri, const _wstringx& name);
    // Runs the extension's evaluator.
    HRESULT Evaluate(VARIANT_BOOL* result);
    // The condition is going; an extension that kept the handler reads no attributes.
    void ForgetCondition() noexcept { m_condition = nullptr; }

    // ISuiteExtension
    STDMETHODIMP get_Attribute(BSTR name, BSTR* value) override;
    STDMETHODIMP LogInfo(BSTR text) override;
    STDMETHODIMP get_Property(BSTR name, BSTR* value) override;
    STDMETHODIMP put_Property(BSTR name, BSTR value) override;
    STDMETHODIMP FormatProperty(BSTR text, BSTR* formatted) override;
    STDMETHODIMP ResolveString(BSTR id, BSTR* resolved) override;

protected:
    CExtensionHandler();
    virtual ~CExtensionHandler();

private:
    CCondition* m_condition = nullptr;
    std::unique_ptr<ExtensionDelegate> m_delegate;
};
