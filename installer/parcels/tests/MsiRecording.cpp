#include "MsiRecording.h"

#include <cstdio>

namespace msi_testing {

namespace {

MsiScript g_script;
MsiRecordHandler g_handler = nullptr;
LPVOID g_context = nullptr;

using CreateRecordFunction = MSIHANDLE_VALUE(WINAPI*)(UINT fields);
using CloseHandleFunction = UINT(WINAPI*)(MSIHANDLE_VALUE handle);

HMODULE SystemMsi()
{
    SystemMsiFunctions();
    return GetModuleHandleW(L"msi.dll");
}

std::wstring Hex(DWORD value)
{
    wchar_t text[16] = {};
    swprintf(text, 16, L"%x", value);
    return text;
}

std::wstring Text(LPCWSTR text)
{
    return text ? text : L"";
}

UINT NextResult()
{
    if (g_script.results.empty())
        return g_script.result;
    const UINT result = g_script.results.front();
    g_script.results.erase(g_script.results.begin());
    return result;
}

// Plays the scripted messages into the installed handler.
void Play()
{
    for (const PlayedMessage& message : g_script.messages) {
        const MSIHANDLE_VALUE record = MakeRecord(message.fields);
        g_script.answers.push_back(g_handler ? g_handler(g_context, message.type, record) : -1);
        CloseRecord(record);
    }
}

INT WINAPI RecordUILevel(INT level, HWND* window)
{
    g_script.calls.push_back(L"ui " + Hex(static_cast<DWORD>(level)));
    return SystemMsiFunctions().SetInternalUI(level, window);
}

UINT WINAPI RecordHandler(MsiRecordHandler handler, DWORD filter, LPVOID context, MsiRecordHandler* previous)
{
    static MsiRecordHandler replaced = nullptr;
    if (filter != 0) {
        g_script.calls.push_back(L"handler " + Hex(filter));
        replaced = g_handler;
    } else {
        // Put back: the handler that was there before the last install of one.
        g_script.calls.push_back(handler == replaced ? L"handler restored" : L"handler other");
    }
    const MsiRecordHandler before = g_handler;
    g_handler = filter != 0 ? handler : nullptr;
    g_context = filter != 0 ? context : nullptr;
    const UINT result = SystemMsiFunctions().SetExternalUIRecord(handler, filter, context, nullptr);
    if (previous)
        *previous = before;
    return result;
}

UINT WINAPI RecordLog(DWORD modes, LPCWSTR file, DWORD attributes)
{
    if (!file)
        g_script.calls.push_back(L"log off " + Hex(modes) + L"|" + Hex(attributes));
    else
        g_script.calls.push_back(L"log " + Hex(modes) + L"|" + file + L"|" + Hex(attributes));
    return SystemMsiFunctions().EnableLogW(modes, file, attributes);
}

UINT WINAPI RecordInstall(LPCWSTR package, LPCWSTR line)
{
    g_script.calls.push_back(L"install " + Text(package) + L"|" + Text(line));
    Play();
    return g_script.realRuns ? SystemMsiFunctions().InstallProductW(package, line) : NextResult();
}

UINT WINAPI RecordConfigure(LPCWSTR product, INT level, INT state, LPCWSTR line)
{
    g_script.calls.push_back(L"configure " + Text(product) + L"|" + std::to_wstring(level) + L"|" +
                             std::to_wstring(state) + L"|" + Text(line));
    Play();
    return g_script.realRuns ? SystemMsiFunctions().ConfigureProductExW(product, level, state, line) : NextResult();
}

UINT WINAPI RecordPatch(LPCWSTR patch, LPCWSTR package, INT type, LPCWSTR line)
{
    g_script.calls.push_back(L"patch " + Text(patch) + L"|" + Text(package) + L"|" + std::to_wstring(type) + L"|" +
                             Text(line));
    Play();
    return NextResult();
}

INT WINAPI RecordFeature(LPCWSTR product, LPCWSTR feature)
{
    g_script.calls.push_back(L"feature " + Text(product) + L"|" + Text(feature));
    return g_script.featureState;
}

UINT WINAPI RecordBegin(LPCWSTR, DWORD, MSIHANDLE_VALUE* transaction, HANDLE* event)
{
    g_script.calls.push_back(L"begin");
    *transaction = 0x4321;
    *event = nullptr;
    return 0;
}

UINT WINAPI RecordEnd(DWORD state)
{
    g_script.calls.push_back(L"end " + std::to_wstring(state));
    return 0;
}

UINT WINAPI RecordFileVersion(LPCWSTR, LPWSTR version, DWORD* size, LPWSTR, DWORD*)
{
    wcscpy(version, L"5.0.7601.0");
    *size = 10;
    return 0;
}

MsiFunctions MakeTable()
{
    MsiFunctions table = SystemMsiFunctions();
    table.SetInternalUI = RecordUILevel;
    table.SetExternalUIRecord = RecordHandler;
    table.EnableLogW = RecordLog;
    table.InstallProductW = RecordInstall;
    table.ConfigureProductExW = RecordConfigure;
    table.ApplyPatchW = RecordPatch;
    table.QueryFeatureStateW = RecordFeature;
    table.BeginTransactionW = RecordBegin;
    table.EndTransaction = RecordEnd;
    table.GetFileVersionW = RecordFileVersion;
    return table;
}

} // namespace

MsiScript& Script()
{
    return g_script;
}

void Reset()
{
    g_script = MsiScript{};
    g_handler = nullptr;
    g_context = nullptr;
}

const MsiFunctions& RecordingTable()
{
    static const MsiFunctions table = MakeTable();
    return table;
}

MSIHANDLE_VALUE MakeRecord(const std::vector<std::wstring>& fields)
{
    static const auto create =
        reinterpret_cast<CreateRecordFunction>(reinterpret_cast<void*>(GetProcAddress(SystemMsi(), "MsiCreateRecord")));
    const MSIHANDLE_VALUE record = create(fields.empty() ? 0 : static_cast<UINT>(fields.size() - 1));
    for (size_t i = 0; i < fields.size(); ++i)
        SystemMsiFunctions().RecordSetStringW(record, static_cast<UINT>(i), fields[i].c_str());
    return record;
}

void CloseRecord(MSIHANDLE_VALUE record)
{
    static const auto close =
        reinterpret_cast<CloseHandleFunction>(reinterpret_cast<void*>(GetProcAddress(SystemMsi(), "MsiCloseHandle")));
    close(record);
}

} // namespace msi_testing
