#pragma once

// Stands in for the suite engine in Tessarel.exe until the engine exists: it
// can be created and released, and its initialisation fails with E_NOTIMPL,
// so engine mode ends with that status like any failed initialisation. The
// engine replaces this file with the same members.

#include <windows.h>
#include <unknwn.h>

#include "automation/Interfaces.h"
#include "kr/stringx.h"

class CSetupEngine : public IUnknown {
public:
    CSetupEngine();
    virtual ~CSetupEngine();
    CSetupEngine(const CSetupEngine&) = delete;
    CSetupEngine& operator=(const CSetupEngine&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    HRESULT Initialize(BSTR command_line, bool* exit_now);
    HRESULT DetermineFeatureStates();
    void ShutdownUIThread() {}
    void OnBootstrapEvent(EnumBootstrapState) {}
    void SetDebugLogPath(const _stringx& path) { debug_log_path_ = path; }

private:
    LONG references_ = 0;
    _stringx debug_log_path_;
};

// The process-wide engine, set when it is constructed.
CSetupEngine* SetupEngine();
