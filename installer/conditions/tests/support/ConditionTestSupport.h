#pragma once

// Fakes shared by the tests of conditions, formatted strings and property
// setters: an engine with its own property store, a condition that answers
// as scripted and records what was asked of it, and a capture of trace lines.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "conditions/Condition.h"
#include "conditions/SetupEngine.h"
#include "properties/Properties.h"

namespace testing_support {

// Registers itself as the process's engine for its lifetime.
class FakeEngine : public ISetupEngine {
public:
    using ObjectFactory = std::function<HRESULT(const _stringx& name, IDispatch** object, HMODULE* module)>;

    FakeEngine();
    ~FakeEngine();
    FakeEngine(const FakeEngine&) = delete;
    FakeEngine& operator=(const FakeEngine&) = delete;

    _stringx FormatString(const _stringx& text) override;
    void SetProperty(const _stringx& name, const _stringx& value, bool overwriteLocked) override;
    HRESULT CreateSuiteObject(const _stringx& name, IDispatch** object, HMODULE* module) override;
    _stringx GetEngineProperty(const _stringx& name) override { return store.GetAttribute(name); }
    IFeature* FindFeature(const _stringx& name) override { return findFeature ? findFeature(name) : nullptr; }
    IParcel2* FindParcel(const _stringx& id) override { return findParcel ? findParcel(id) : nullptr; }
    // E_NOTIMPL while no collection is set.
    HRESULT STDMETHODCALLTYPE get_Parcels(IParcels** parcels) override;
    const OSVERSIONINFOEXW& OsVersionInfo() override { return osVersion; }
    IProxyConnection* GetAppxHelperProxyHandler() override
    {
        SetLastError(appxHelperError);
        return appxHelper;
    }

    CProperties store;
    // The Windows version the conditions see; all zero until a test fills it.
    OSVERSIONINFOEXW osVersion{};
    // The app-package helper; none, with this last error, until a test sets one.
    IProxyConnection* appxHelper = nullptr;
    DWORD appxHelperError = ERROR_NOT_SUPPORTED;
    ObjectFactory objects;
    std::function<IFeature*(const _stringx& name)> findFeature;
    std::function<IParcel2*(const _stringx& id)> findParcel;
    IParcels* parcels = nullptr;
    int formatCalls = 0;
};

// What a scripted condition did, shared with the test after the tree owns it.
struct ConditionRecord {
    int validations = 0;
    int evaluations = 0;
    bool destroyed = false;
};

class ScriptedCondition : public CCondition {
public:
    ScriptedCondition(std::shared_ptr<ConditionRecord> record, bool result, HRESULT evaluateResult = S_OK,
                      HRESULT validateResult = S_OK);
    ~ScriptedCondition() override;

    _stringx GetConvertValue() const override { return ReadAttribute(L"Convert"); }
    _stringx GetCompareToValue() const override { return ReadAttribute(L"CompareTo"); }
    HRESULT Validate() override;
    HRESULT Evaluate(bool* result) override;

private:
    std::shared_ptr<ConditionRecord> m_record;
    bool m_result;
    HRESULT m_evaluateResult;
    HRESULT m_validateResult;
};

// Trace lines written while it lives, without their date and time.
class TraceCapture {
public:
    TraceCapture();
    ~TraceCapture();
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    std::wstring Messages() const;

private:
    std::wstring m_path;
};

} // namespace testing_support
