#pragma once

// A test engine for the launcher entry, linked only into the launcher's test
// build: it records what it was started with into the INI file named by
// KR_TEST_ENGINE_RECORD and answers with the statuses named by
// KR_TEST_ENGINE_INIT and KR_TEST_ENGINE_RUN (hexadecimal;
// KR_TEST_ENGINE_EXIT_NOW=1 reports a handed-over run; KR_TEST_ENGINE_DELAY
// makes the initialisation take that many milliseconds). KR_TEST_ENGINE_THROW
// names the step ("init" or "run") that throws instead of answering: a
// bootstrap_exception with the step's status when one is named, else an
// exception of no launcher type. The real engine offers the same members.

#include <windows.h>
#include <unknwn.h>

#include "automation/Interfaces.h"
#include "kr/stringx.h"

class CSetupEngine : public IUnknown {
public:
    CSetupEngine();
    virtual ~CSetupEngine();

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    HRESULT Initialize(BSTR command_line, bool* exit_now);
    HRESULT DetermineFeatureStates();
    void ShutdownUIThread();
    void OnBootstrapEvent(EnumBootstrapState state);
    void SetDebugLogPath(const _stringx& path) { debug_log_path_ = path; }

private:
    void Record(const wchar_t* key, const _stringx& value);

    LONG references_ = 0;
    _stringx record_path_;
    _stringx debug_log_path_;
    _stringx events_;
    int shutdowns_ = 0;
};
