#pragma once

// The extension object handed to code the suite carries (the Windows-features
// DLL, a resource DLL's object factory): its ISuiteExtension2 calls reach the
// engine, except the feature list it reads and the Server Core mark it writes,
// which stay with this object.

#include <windows.h>

#include <span>

#include <com/ComPtr.h>
#include <com/Dispatch.h>
#include <com/Object.h>

#include "automation/Interfaces.h"
#include "kr/stringx.h"

class CWindowsFeatureSuiteExtension : public com::ObjectRoot, public com::DispatchImpl<ISuiteExtension2> {
public:
    // A new object with one reference (and the module lock while it lives);
    // E_OUTOFMEMORY when it cannot be made.
    static HRESULT CreateInstance(com::ComPtr<com::Object<CWindowsFeatureSuiteExtension>>& out);
    static std::span<const com::InterfaceEntry> InterfaceTable() noexcept;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override = 0;
    STDMETHODIMP_(ULONG) AddRef() override = 0;
    STDMETHODIMP_(ULONG) Release() override = 0;

    // What get Property "KRWindowsFeatureList" answers: feature names separated by ";".
    void SetFeatureList(const _wstringx& list) { m_featureList = list; }
    const _wstringx& FeatureList() const noexcept { return m_featureList; }
    // The last value put as "KR2012CoreInstalled"; empty when none was.
    const _wstringx& Core2012Installed() const noexcept { return m_core2012Installed; }

    // ISuiteExtension2
    STDMETHODIMP get_Attribute(BSTR name, BSTR* value) override;
    STDMETHODIMP LogInfo(BSTR message) override;
    STDMETHODIMP get_Property(BSTR name, BSTR* value) override;
    STDMETHODIMP put_Property(BSTR name, BSTR value) override;
    STDMETHODIMP FormatProperty(BSTR text, BSTR* formatted) override;
    STDMETHODIMP ResolveString(BSTR id, BSTR* resolved) override;
    STDMETHODIMP SendProgressMessage(BSTR message, int current, int maximum, EnumProgressFlags flags) override;

protected:
    CWindowsFeatureSuiteExtension();
    ~CWindowsFeatureSuiteExtension();

private:
    _wstringx m_featureList;
    _wstringx m_core2012Installed;
};
