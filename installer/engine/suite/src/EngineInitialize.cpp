// The engine's start-up: its switches, the support folder, setup.xml into the
// model, the folder properties, the install mode, the password, language,
// logging and command-line properties, the user interface's first events,
// the suite update and the abort conditions.

#include "suite/SetupEngine.h"

#include <cwchar>

#include "automation/SuiteErrors.h"
#include "command_line.h"
#include "kr/bootstrap_exception.h"
#include "kr/file_system.h"
#include "kr/holders.h"
#include "kr/message_box.h"
#include "kr/temp_folders.h"
#include "kr/trace_log.h"
#include "payload/Stream.h"

#define ENGINE_TRACE(...) TraceFormat({L"SetupEngine", __LINE__}, __VA_ARGS__)

namespace {

constexpr wchar_t kCaption[] = L"Korvanstilmer Wizard";
constexpr HRESULT kCancelled = HRESULT_FROM_WIN32(ERROR_INSTALL_USEREXIT);       // 0x80070642
constexpr HRESULT kAbortedByPolicy = HRESULT_FROM_WIN32(ERROR_INSTALL_FAILURE); // 0x80070643
constexpr HRESULT kAnotherInstance = static_cast<HRESULT>(0x80040711);

struct ModeSwitch {
    const wchar_t* name;
    EnumInstallMode mode;
    const wchar_t* log;
};

constexpr ModeSwitch kModeSwitches[] = {
    {L"stage_only", eimAdmin, L"Engine: command line specified stage only mode"},
    {L"repair", eimRepair, L"Engine: command line specified repair mode"},
    {L"remove", eimRemove, L"Engine: command line specified remove mode"},
    {L"modify", eimUIMaintSelection, L"Engine: command line specified maintenance/modify mode"},
};

void ShowBox(const _stringx& text)
{
    kr::message_box(nullptr, text.c_str(), kCaption, MB_ICONERROR);
}

// The switch's value, or false when the switch is absent.
bool TakeSwitch(command_line& line, const wchar_t* name, _stringx& value, bool exact = false)
{
    kr::bstr_holder text;
    if (!line.find_switch(name, text.address(), exact, true))
        return false;
    value = text.get() ? _stringx(text.get()) : _stringx();
    return true;
}

_stringx FolderOf(const _stringx& path)
{
    const size_t slash = path.rfind(L"\\");
    return slash == _stringx::npos ? _stringx() : path.substr(0, slash + 1);
}

bool IsAbsolutePath(const _stringx& path)
{
    return (path.length() >= 3 && path[1] == L':' && path[2] == L'\\') || path.starts_with(L"\\\\");
}

} // namespace

HRESULT CSetupEngine::Initialize(BSTR commandLineText, bool* exitNow)
{
    // Step 1.
    if (exitNow)
        *exitNow = false;
    m_uiAnswer = VARIANT_FALSE;
    const _stringx commandLine = commandLineText ? _stringx(commandLineText) : _stringx();
    command_line line(commandLine.c_str());
    _stringx value;

    // Steps 2 and 3.
    if (TakeSwitch(line, L"silent", value)) {
        m_silent = true;
        m_properties.SetAttributeLocked(L"KRSilentInstall", L"true");
        ENGINE_TRACE(L"Engine: setup will run silent");
    } else if (TakeSwitch(line, L"passive", value)) {
        m_passive = true;
        m_properties.SetAttributeLocked(L"KRPassiveInstall", L"true");
        ENGINE_TRACE(L"Engine: setup will run with minimal UI");
    }
    if (TakeSwitch(line, L"d", value)) {
        m_scriptDebugging = true;
        m_symbolPath = value.unquote();
        ENGINE_TRACE(L"Engine: script debug option specified, will enable script debugging; symbol path: '%s'",
                     m_symbolPath.c_str());
        if (!m_elevated)
            ENGINE_TRACE(L"Engine: ***warning: this suite appears to be running without elevated privileges, "
                         L"the Quillex debugger requires admin privileges to launch");
    }

    // Step 4.
    m_supportFolder = m_elevated ? kr::create_private_temp_folder() : kr::get_temp_file_name(L"", L"", false);
    m_savedState.SetStagingFolder(m_supportFolder);

    // Steps 5 and 6.
    _stringx setupXml;
    const bool extracted = !TakeSwitch(line, L"f3:", setupXml);
    if (extracted) {
        setupXml = m_supportFolder;
        setupXml.append_with_separator(L"setup.xml", L'\\');
        const StreamFileEntry* entry = nullptr;
        DWORD offset = 0;
        if (!m_stream || !m_stream->is_open() || !m_stream->FindStreamFile(L"setup.xml", entry, offset) ||
            m_stream->ExtractEntry(*entry, offset, setupXml, nullptr) != 1) {
            ENGINE_TRACE(L"No setup.xml was present in the setup stream");
            if (!m_silent)
                ShowBox(L"Error extracting setup.xml.");
            return SUITE_E_NOSETUPXML;
        }
    }
    if (!kr::path_test(setupXml, kr::path_accept_file))
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

    // Step 7: only reading setup.xml is guarded.
    ENGINE_TRACE(L"Engine: parsing setup.xml");
    HRESULT loaded = S_OK;
    try {
        loaded = m_loadSetupXml(*this, setupXml);
    } catch (const ui_resource_exception& failure) {
        ENGINE_TRACE(L"UI resource exception: %x", failure.hresult());
        return failure.hresult();
    } catch (const invalid_condition_exception& failure) {
        ENGINE_TRACE(L"An invalid condition was encountered (%s), error %x", failure.type_name().c_str(),
                     failure.hresult());
        _stringx text;
        text.format(L"An invalid condition was encountered:\nType: %s\nConversion: %s\nCompare: %s\n"
                    L"Error: 0x%08x\n\nThe setup will now abort.",
                    failure.type_name().c_str(), failure.conversion().c_str(), failure.comparison().c_str(),
                    failure.hresult());
        ShowErrorBox(kCaption, text, failure.hresult());
        return SUITE_E_INSTALLMODECONDITION;
    } catch (const bootstrap_exception& failure) {
        ENGINE_TRACE(L"Bootstrap engine exception: %x", failure.hresult());
        if (failure.hresult() == kAnotherInstance)
            return ShowErrorBox(kCaption,
                                L"Another instance of this setup is already running. Please wait for the other "
                                L"instance to finish and then try again.",
                                failure.hresult());
        return failure.hresult();
    } catch (...) {
        ENGINE_TRACE(L"Unknown exception occurred while parsing setup.xml");
        return E_UNEXPECTED;
    }

    // A document that cannot be opened or parsed is no model to run.
    if (FAILED(loaded)) {
        ENGINE_TRACE(L"Engine: setup.xml could not be read, error %x", loaded);
        return loaded;
    }

    // Step 8.
    m_rebooted = CheckRunRebooted();
    if (m_rebooted) {
        ENGINE_TRACE(L"Engine: running after reboot");
        m_properties.SetAttribute(L"KROnRebooted", L"true");
    }

    // Step 9.
    const _stringx extractedFolder = FolderOf(setupXml);
    _stringx supportFolder = m_supportFolder;
    if (!supportFolder.empty() && supportFolder[supportFolder.length() - 1] != L'\\')
        supportFolder += L'\\';
    if (extracted && extractedFolder != supportFolder) {
        _stringx moved = supportFolder + L"setup.xml";
        if (MoveFileExW(setupXml.c_str(), moved.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            setupXml = moved;
        } else {
            ENGINE_TRACE(L"Could not move setup.xml to new stage path, error %d, file will not be cleaned up",
                         GetLastError());
        }
        kr::delete_tree(extractedFolder, false);
    }

    // Steps 10 and 11.
    ENGINE_TRACE(L"Engine: initializing predefined path properties");
    InitializePathProperties();
    ENGINE_TRACE(L"Engine: reloading engine state info for resume/reboot");
    ReloadSavedState();

    // Step 12: hidden values are masked from here on.
    if (!m_rebooted) {
        auto& setters = m_model->propertySetters;
        for (auto it = setters.begin(); it != setters.end(); ++it) {
            if (ModelEntry(*it).Name() == L"KRHiddenProperties") {
                const std::unique_ptr<CPropertySetter> setter = std::move(*it);
                setters.erase(it);
                setter->Apply();
                break;
            }
        }
    }

    // Step 13.
    ENGINE_TRACE(L"Command Line: %s", LogCommandLine(commandLine).c_str());

    // Step 14.
    if (m_registrar)
        m_properties.SetAttributeLocked(L"ProductVersion", m_registrar->GetVersion());
    // Step 15.
    m_status = S_OK;
    ENGINE_TRACE(L"Engine: initializing resources");
    OnBootstrapEvent(ebsResourceInit);
    if (InitializeResources() == kCancelled)
        return kCancelled;

    // Step 16.
    if (!m_rebooted) {
        ENGINE_TRACE(L"Engine: we're not running after reboot");
        ApplyPropertySetters();
        ENGINE_TRACE(L"Determining setup mode...");
        bool switched = false;
        for (const ModeSwitch& mode : kModeSwitches) {
            if (TakeSwitch(line, mode.name, value, true)) {
                m_installMode = mode.mode;
                ENGINE_TRACE(L"%s", mode.log);
                switched = true;
                break;
            }
        }
        if (!switched) {
            ENGINE_TRACE(L"Engine: no command line mode specified, evaluating setup.xml install mode block for mode");
            for (const auto& entry : m_model->installModes) {
                CInstallMode& mode = ModelEntry(entry);
                if (!mode.Condition())
                    continue;
                bool holds = false;
                const HRESULT hr = mode.Condition()->Evaluate(&holds);
                if (FAILED(hr)) {
                    ENGINE_TRACE(L"Engine: failed to evaluate install mode %d condition, error %x", mode.Mode(), hr);
                    if (!m_silent) {
                        _stringx text;
                        ShowBox(text.format(
                            L"An invalid condition was encountered:\nError: 0x%08x\n\nThe setup will now abort.", hr));
                    }
                    return SUITE_E_INSTALLMODECONDITION;
                }
                if (holds) {
                    m_installMode = mode.Mode();
                    break;
                }
            }
        }
        ENGINE_TRACE(L"Engine: final mode we're running in: %d", m_installMode);
        _stringx number;
        m_savedState.SaveProperty(L"InstallMode", number.format(L"%d", m_installMode));
    }

    // Step 17.
    m_maintenance = m_installMode != eimInstall && m_installMode != eimAdmin;
    ENGINE_TRACE(L"Engine: mode is maintenance: %s", m_maintenance ? L"yes" : L"no");
    {
        _stringx number;
        m_properties.SetAttribute(L"KRInstallMode", number.format(L"%d", m_installMode));
    }

    // Step 18.
    if (!m_silent && !m_uiStarted) {
        ENGINE_TRACE(L"No UI DLL was initialized. This is likely due to a missing UIResource in setup.xml");
        ShowBox(L"No UI DLL was initialized. This is likely due to a missing UIResource in setup.xml.");
        return SUITE_E_NORUNNINGUI;
    }

    // Step 19.
    bool commandLineValid = true;
    if (!m_rebooted) {
        if (TakeSwitch(line, L"password:", value))
            SetProperty(L"KRPassword", value, false);

        if (TakeSwitch(line, L"language:", value))
            m_languages.SetCommandLineLanguage(static_cast<LANGID>(std::wcstoul(value.c_str(), nullptr, 10)));
        ChooseSuiteLanguage(InstalledLanguage());

        _stringx logValue;
        const bool logSwitch = TakeSwitch(line, L"log", logValue);
        if (logSwitch || !m_properties.GetAttribute(L"KREnablePerParcelLogging").empty()) {
            _stringx folder;
            if (!logValue.empty()) {
                if (logValue[0] == L':') {
                    folder = logValue.substr(1);
                    folder.unquote();
                } else if (logValue.length() >= 2 && logValue[0] == L'"' && logValue[logValue.length() - 1] == L'"') {
                    folder = logValue;
                    folder.unquote();
                } else {
                    commandLineValid = false;
                }
            } else {
                const _stringx configured = m_properties.GetAttribute(L"KRLogDir");
                if (IsAbsolutePath(configured))
                    folder = configured;
            }
            if (commandLineValid) {
                if (folder.empty())
                    folder = m_properties.GetAttribute(L"TempFolder");
                if (folder.empty() || folder[folder.length() - 1] != L'\\')
                    folder += L'\\';
                m_logFolder = folder;
                m_properties.SetAttribute(L"KRLogDir", folder);
            }
        }

        kr::bstr_holder remaining;
        line.remaining(remaining.address());
        m_remainingCommandLine = remaining.get() ? _stringx(remaining.get()) : _stringx();
        if (commandLineValid)
            commandLineValid = ValidateCommandLine(m_remainingCommandLine);

        if (extracted)
            m_savedState.MarkFileStaged(setupXml);
        if (m_properties.GetAttribute(L"Password").empty())
            m_passwordValid = true;
    }

    // Steps 20 and 21.
    ENGINE_TRACE(L"Engine: sending initialize event to UI");
    OnBootstrapEvent(ebsInitializing);
    if (m_uiAnswer == VARIANT_TRUE)
        return kCancelled;
    const HRESULT began = RunEvents(kSuiteOnBegin);
    if (FAILED(began))
        return began;

    // Step 22.
    if (!commandLineValid) {
        m_status = SUITE_E_INVALIDCMDLINE;
        ReportError(ebesEngine, SUITE_E_INVALIDCMDLINE, _stringx(), nullptr);
        return SUITE_E_INVALIDCMDLINE;
    }

    // Step 23.
    const HRESULT updated = CheckForSuiteUpdate(commandLine, exitNow);
    if (updated != S_OK)
        return updated;

    // Steps 24 to 26.
    if (m_rebooted) {
        ENGINE_TRACE(L"Engine: sending rebooted event to UI");
        OnBootstrapEvent(ebsResuming);
    }
    if (m_uiAnswer == VARIANT_TRUE)
        return kCancelled;
    ENGINE_TRACE(L"Engine: initialization complete");

    // Step 27.
    if (!m_rebooted && m_installMode == eimInstall) {
        ENGINE_TRACE(L"Evaluating abort conditions");
        _stringx texts;
        for (const auto& entry : m_model->abortConditions) {
            CAbortCondition& abort = ModelEntry(entry);
            const _stringx text = abort.GetAttributeNoCase(L"Text");
            bool holds = false;
            if (abort.Condition()) {
                const HRESULT hr = abort.Condition()->Evaluate(&holds);
                if (FAILED(hr)) {
                    ENGINE_TRACE(L"Failed to evaluate abort condition (text '%s'), result: %x", text.c_str(), hr);
                    holds = false;
                }
            }
            if (!holds)
                continue;
            if (!texts.empty())
                texts += L"\n";
            texts += FormatString(ResolveStringId(text));
        }
        if (!texts.empty()) {
            texts += L"\n";
            ReportError(ebesEngine, SUITE_E_ABORTCONDITION, texts, nullptr);
            return kAbortedByPolicy;
        }
    }
    return S_OK;
}

// S_OK when setup goes on; anything else is Initialize's result. Once the
// updated suite was launched, its exit code is the result and exit-now is
// set, whatever the code: this run has handed the work over.
HRESULT CSetupEngine::CheckForSuiteUpdate(const _stringx& commandLine, bool* exitNow)
{
    command_line whole(commandLine.c_str());
    _stringx updatedFrom;
    {
        kr::bstr_holder text;
        if (whole.find_switch(L"updated_from:", text.address(), false, false) && text.get())
            updatedFrom = _stringx(text.get());
        // The suite that started this one quotes the address.
        updatedFrom.unquote();
    }
    m_update->SetUpdatedFrom(updatedFrom);
    bool found = false;
    const HRESULT description = m_update->DownloadUpdateDescription(found);
    if (m_rebooted || m_maintenance)
        return S_OK;
    ENGINE_TRACE(L"Engine: not rebooted or maintenance, checking for suite update (update: '%s', updated from: '%s')",
                 m_updateUrl.c_str(), updatedFrom.c_str());
    _stringx address;
    if (!m_updateUrl.empty() && m_updateUrl != updatedFrom)
        address = found ? m_update->ChosenAddress() : (FAILED(description) ? m_updateUrl : _stringx());
    else if (found)
        address = m_update->ChosenAddress();
    if (address.empty())
        return S_OK;

    ENGINE_TRACE(L"Engine: update URL is '%s'", address.c_str());
    if (!kr::path_test(address, kr::path_test_url | kr::path_accept_file)) {
        ENGINE_TRACE(L"Engine: update not found");
        return S_OK;
    }
    OnBootstrapEvent(ebsShowDownloadUpdateUI);
    if (m_uiAnswer == VARIANT_TRUE)
        return kCancelled;
    bool launched = false;
    const HRESULT result = m_update->DownloadAndLaunchUpdate(address, m_remainingCommandLine, launched);
    if (launched) {
        if (exitNow)
            *exitNow = true;
        return result;
    }
    if (result == S_FALSE || result == S_OK) {
        ENGINE_TRACE(L"Engine: attempt to launch with updated suite install failed with status 0x%08x, continuing "
                     L"normal setup",
                     result);
        return S_OK;
    }
    return result;
}
