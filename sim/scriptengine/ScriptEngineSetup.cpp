// The script engine's setup entries. "SuiteStartupInstall" runs
// the script "REViziz.script" of the disk1 folder on a thread of its own, as
// the real engine reports from its worker, while the caller's thread keeps
// serving its messages; "SuiteIsFeatureInstalled" answers from the same
// script. Every call and every answer is appended to "REViziz.log" there.
//
// Script lines:
//   progress <position> <text-valid 0|1> <progress-valid 0|1> [text]
//   error <flags> <text>
//   query <kind> <source file>
//   log <text>                 (extension LogInfo)
//   result <hexadecimal HRESULT>
//   installed <feature>        (SuiteIsFeatureInstalled answers 1)
//   featurefail <hexadecimal>  (SuiteIsFeatureInstalled returns it)

#include <windows.h>

#include <cwchar>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "automation/Interfaces.h"
#include "parcels/KrpProxyUIHandler.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

struct ScriptRun {
    std::wstring folder;
    IDispatch* extension;
    NimbrelProgressHandler* progress;
    HRESULT result;
};

std::wstring FolderOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::vector<std::wstring> ReadScript(const std::wstring& folder)
{
    std::vector<std::wstring> lines;
    std::wifstream script((folder + L"\\REViziz.script").c_str());
    std::wstring line;
    while (std::getline(script, line)) {
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// UTF-16 lines, so the tests read back exactly what travelled.
void Log(const std::wstring& folder, const std::wstring& line)
{
    std::ofstream log((folder + L"\\REViziz.log").c_str(), std::ios::binary | std::ios::app);
    const std::wstring text = line + L"\n";
    log.write(reinterpret_cast<const char*>(text.data()), static_cast<std::streamsize>(text.size() * sizeof(wchar_t)));
}

std::wstring Rest(std::wistringstream& fields)
{
    std::wstring rest;
    std::getline(fields, rest);
    if (!rest.empty() && rest[0] == L' ')
        rest.erase(0, 1);
    return rest;
}

std::wstring Hex(HRESULT value)
{
    wchar_t text[16] = {};
    std::swprintf(text, 16, L"%08x", static_cast<unsigned>(value));
    return text;
}

HRESULT RunScript(const std::wstring& folder, IDispatch* extension, NimbrelProgressHandler* progress)
{
    HRESULT result = S_OK;
    for (const std::wstring& line : ReadScript(folder)) {
        std::wistringstream fields(line);
        std::wstring verb;
        fields >> verb;
        if (verb == L"progress") {
            int position = 0, textValid = 0, progressValid = 0;
            fields >> position >> textValid >> progressValid;
            const std::wstring text = Rest(fields);
            const HRESULT hr = progress->OnProgress(text.c_str(), position, textValid, progressValid);
            Log(folder, L"progress -> " + Hex(hr));
        } else if (verb == L"error") {
            int flags = 0;
            fields >> flags;
            const std::wstring text = Rest(fields);
            int action = -1;
            const HRESULT hr = progress->OnError(text.c_str(), flags, &action);
            Log(folder, L"error -> " + Hex(hr) + L" action " + std::to_wstring(action));
        } else if (verb == L"query") {
            int kind = 0;
            fields >> kind;
            const std::wstring text = Rest(fields);
            BSTR answer = nullptr;
            int answerKind = 0;
            const HRESULT hr = progress->OnQuery(text.c_str(), kind, &answer, &answerKind);
            Log(folder, L"query -> " + Hex(hr) + L" kind " + std::to_wstring(answerKind) + L" answer " +
                            (answer ? std::wstring(answer, SysStringLen(answer)) : std::wstring()));
            SysFreeString(answer);
        } else if (verb == L"log") {
            ISuiteExtension2* suite = nullptr;
            if (extension &&
                SUCCEEDED(extension->QueryInterface(IID_ISuiteExtension2, reinterpret_cast<void**>(&suite)))) {
                const std::wstring text = Rest(fields);
                BSTR message = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
                const HRESULT hr = suite->LogInfo(message);
                SysFreeString(message);
                suite->Release();
                Log(folder, L"log -> " + Hex(hr));
            }
        } else if (verb == L"result") {
            std::wstring value;
            fields >> value;
            result = static_cast<HRESULT>(std::wcstoul(value.c_str(), nullptr, 16));
        }
    }
    return result;
}

DWORD WINAPI ScriptThread(void* context)
{
    auto& run = *static_cast<ScriptRun*>(context);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    Log(run.folder, L"worker thread " + std::to_wstring(GetCurrentThreadId()));
    run.result = RunScript(run.folder, run.extension, run.progress);
    CoUninitialize();
    return 0;
}

} // namespace

extern "C" HRESULT WINAPI SuiteStartupInstall(const wchar_t* disk1Folder,
                                                                    const wchar_t* commandLine, IDispatch* extension,
                                                                    NimbrelProgressHandler* progress)
{
    const std::wstring folder = disk1Folder ? disk1Folder : L"";
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(reinterpret_cast<HMODULE>(&__ImageBase), self, MAX_PATH);
    Log(folder, L"engine=" + std::wstring(self));
    Log(folder, L"folder=" + folder);
    Log(folder, L"cmd=" + std::wstring(commandLine ? commandLine : L""));
    Log(folder, L"caller thread " + std::to_wstring(GetCurrentThreadId()));

    ScriptRun run{folder, extension, progress, E_FAIL};
    HANDLE worker = CreateThread(nullptr, 0, ScriptThread, &run, 0, nullptr);
    if (!worker)
        return HRESULT_FROM_WIN32(GetLastError());
    // The caller's apartment serves the calls the worker makes through it.
    while (MsgWaitForMultipleObjects(1, &worker, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    CloseHandle(worker);
    const HRESULT result = run.result;
    Log(folder, L"result " + Hex(result));
    return result;
}

extern "C" HRESULT WINAPI SuiteIsFeatureInstalled(const wchar_t* setupLog, const wchar_t* feature,
                                                                        BYTE* installed)
{
    const std::wstring folder = FolderOf(setupLog ? setupLog : L"");
    const std::wstring name = feature ? feature : L"";
    Log(folder, L"feature " + std::wstring(setupLog ? setupLog : L"") + L" " + name);
    *installed = 0;
    for (const std::wstring& line : ReadScript(folder)) {
        std::wistringstream fields(line);
        std::wstring verb, value;
        fields >> verb >> value;
        if (verb == L"installed" && value == name)
            *installed = 1;
        if (verb == L"featurefail")
            return static_cast<HRESULT>(std::wcstoul(value.c_str(), nullptr, 16));
    }
    return S_OK;
}
