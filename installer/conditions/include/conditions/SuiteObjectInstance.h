#pragma once

// One scripting object created for one evaluation of an object expression,
// with the module that supplied it.

#include <windows.h>
#include <oaidl.h>

#include <vector>

#include "com/ComPtr.h"
#include "kr/holders.h"
#include "kr/stringx.h"

class SuiteObjectInstance {
public:
    SuiteObjectInstance() = default;
    SuiteObjectInstance(const SuiteObjectInstance&) = delete;
    SuiteObjectInstance& operator=(const SuiteObjectInstance&) = delete;
    ~SuiteObjectInstance() { Release(); }

    // Creates the object named, through the engine.
    HRESULT Create(const _stringx& name);
    // Looks a member name up (IID_NULL, one name, locale 0).
    HRESULT GetMemberId(const _stringx& name, DISPID* id) const;
    // Calls a member as method or property get with the texts as BSTR arguments.
    HRESULT Invoke(DISPID id, const std::vector<_stringx>& arguments, VARIANT* result) const;
    // The object first, then its module.
    void Release() noexcept;

    IDispatch* Object() const noexcept { return m_object.Get(); }

private:
    kr::library_holder m_module;
    com::ComPtr<IDispatch> m_object;
};
