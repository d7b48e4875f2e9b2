#pragma once

// The script-engine stand-in (REViziz.dll) as the tests reach it: the
// modules beside the test program, and the records a loaded copy kept.

#include <windows.h>
#include <oaidl.h>

#include <map>
#include <string>
#include <vector>

namespace testing_support {

// Full path of a file beside the running test program.
std::wstring BesideProgram(const std::wstring& name);

// The records of a loaded stand-in, one a line; empty when it is not one.
std::wstring ScriptStandInRecords(HMODULE engine);

// An IDispatch whose members are any names; every call is recorded as
// "Name(arg,arg)" with the arguments as text (empty ones as "<empty>").
class RecordingDispatch : public IDispatch {
public:
    const std::vector<std::wstring>& Calls() const { return m_calls; }
    LONG References() const { return m_refs; }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++m_refs); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--m_refs); }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) override;

private:
    LONG m_refs = 1; // the test's own, on the stack
    std::map<std::wstring, DISPID> m_ids;
    std::vector<std::wstring> m_names;
    std::vector<std::wstring> m_calls;
};

} // namespace testing_support
