#pragma once

// A suite action: a named step of setup.xml that event actions and parcels
// run by its Id. Every kind but SetProperty turns what it ran into an HRESULT
// through its code lists, so setup.xml decides which codes mean success,
// failure, cancel or reboot.

#include <windows.h>

#include <memory>
#include <vector>

#include "kr/stringx.h"
#include "properties/Properties.h"

class CParcel;

enum ActionExecutionLevel {
    aelInvoker = 0,
    aelAdmin = 1,
};

// What an unlisted non-zero code means.
enum ActionDefaultCode {
    adcIgnore = 0,
    adcAbort = 1,
    adcReboot = 2,
    adcCancel = 3,
};

class CAction : public CProperties {
public:
    void SetAttribute(const _stringx& name, const _stringx& value) override;
    // Completes the action after its attributes are set.
    virtual void InitDefaults() = 0;
    // Runs the action on behalf of the parcel, or of the suite when it is null.
    virtual HRESULT Execute(CParcel* parcel) = 0;
    virtual HRESULT ProcessReturnCode(DWORD code);

    _stringx GetId() const { return m_id; }
    int ExecutionLevel() const noexcept { return m_executionLevel; }
    int DefaultCode() const noexcept { return m_defaultCode; }
    const std::vector<DWORD>& IgnoreCodes() const noexcept { return m_ignoreCodes; }
    const std::vector<DWORD>& AbortCodes() const noexcept { return m_abortCodes; }
    const std::vector<DWORD>& RebootCodes() const noexcept { return m_rebootCodes; }
    const std::vector<DWORD>& CancelCodes() const noexcept { return m_cancelCodes; }

protected:
    CAction() = default;

    // Expanded against the parcel when the action runs for one, else the engine.
    static _stringx Expand(const _stringx& text, CParcel* parcel);
    // Admin actions of an engine that is not elevated run through the elevated proxy.
    bool NeedsElevatedProxy() const;
    // The fixed lists of the proxy-called kinds; only the last abort code differs.
    void UseFixedCodes(DWORD refusedCode);

    _stringx m_id;
    _stringx m_file;
    _stringx m_resource;
    _stringx m_arguments;

private:
    int m_executionLevel = aelInvoker;
    std::vector<DWORD> m_ignoreCodes;
    std::vector<DWORD> m_abortCodes;
    std::vector<DWORD> m_rebootCodes;
    std::vector<DWORD> m_cancelCodes;
    int m_defaultCode = adcAbort;
};

// The action of an Actions child element (name compared exactly); none for any other name.
std::unique_ptr<CAction> CreateSuiteAction(const _stringx& elementName);

// A code list of setup.xml: pieces between commas (a piece after a final
// comma dropped), trimmed, read as unsigned decimal like wcstoul, kept even
// when not a number.
std::vector<DWORD> ParseActionCodeList(const _stringx& value);
