#pragma once

// The progress handler a script-project setup reports to: the script engine
// calls its first three slots, possibly from a thread of its own, and they
// go on to the four operations that the engine's parcel handler implements
// in the engine and the embedded handler in the proxy.

#include <windows.h>
#include <oaidl.h>

#include "kr/stringx.h"

// What the script engine's "SuiteStartupInstall" calls during a setup.
class NimbrelProgressHandler {
public:
    // E_ABORT asks the setup to stop.
    virtual HRESULT OnProgress(const wchar_t* text, int position, BOOL textValid, BOOL progressValid) = 0;
    // A source-media question; the answer text and its kind (4: a path, 2: none).
    virtual HRESULT OnQuery(const wchar_t* text, int queryKind, BSTR* answer, int* answerKind) = 0;
    virtual HRESULT OnError(const wchar_t* text, int errorFlags, int* action) = 0;
    virtual ~NimbrelProgressHandler() = default;
};

// The script engine's entries.
using SuiteStartupInstallEntry = HRESULT(WINAPI*)(const wchar_t* disk1Folder, const wchar_t* commandLine,
                                                  IDispatch* extension, NimbrelProgressHandler* progress);
using SuiteIsFeatureInstalledEntry = HRESULT(WINAPI*)(const wchar_t* setupLog, const wchar_t* feature,
                                                      BYTE* installed);

// The script engine cannot be loaded, or has no setup entry.
constexpr HRESULT kScriptEngineNotLoaded = static_cast<HRESULT>(0x80040712);
constexpr HRESULT kScriptEngineEntryMissing = static_cast<HRESULT>(0x80040713);

class CKrpProxyUIHandler : public NimbrelProgressHandler {
public:
    HRESULT OnProgress(const wchar_t* text, int position, BOOL textValid, BOOL progressValid) override;
    HRESULT OnQuery(const wchar_t* text, int queryKind, BSTR* answer, int* answerKind) override;
    HRESULT OnError(const wchar_t* text, int errorFlags, int* action) override;

    // Runs the setup through the elevated proxy.
    virtual HRESULT RunElevated(const _stringx& engineDll, const _stringx& target, const _stringx& commandLine) = 0;
    virtual HRESULT OnError(const _stringx& text, int errorFlags, int* action) = 0;
    virtual HRESULT OnProgress(const _stringx& text, int current, int maximum, int flags, VARIANT_BOOL* cancel) = 0;
    // answer comes in as the default and goes out as the media path.
    virtual HRESULT OnQuery(const _stringx& sourceFile, int queryKind, _stringx& answer, int* answerKind) = 0;

    // Loads the script engine and calls its setup entry with this handler;
    // the engine is freed on every path.
    HRESULT RunSetup(const _stringx& engineDll, const _stringx& setupPath, const _stringx& commandLine,
                     IDispatch* extension);
};
