// Stands in for the payload's Windows-features DLL. "KRInstallWindowsFeatures"
// reads the feature list through the extension, reports that Server Core
// features are in ("KR2012CoreInstalled"), logs and sends one progress
// message, and returns the number the suite property
// "KRWindowsFeaturesTestResult" holds (0 when it is empty). What it read and
// the answers it got are appended to "<dll path>.log".

#include <windows.h>

#include <cwchar>
#include <fstream>
#include <string>

#include "automation/Interfaces.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

void Log(const std::wstring& line)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(reinterpret_cast<HMODULE>(&__ImageBase), self, MAX_PATH);
    std::ofstream log((std::wstring(self) + L".log").c_str(), std::ios::binary | std::ios::app);
    const std::wstring text = line + L"\n";
    log.write(reinterpret_cast<const char*>(text.data()), static_cast<std::streamsize>(text.size() * sizeof(wchar_t)));
}

std::wstring Text(BSTR text)
{
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

std::wstring Property(ISuiteExtension2* extension, const wchar_t* name, HRESULT& hr)
{
    BSTR key = SysAllocString(name);
    BSTR value = nullptr;
    hr = extension->get_Property(key, &value);
    SysFreeString(key);
    const std::wstring text = Text(value);
    SysFreeString(value);
    return text;
}

} // namespace

extern "C" __declspec(dllexport) HRESULT WINAPI KRInstallWindowsFeatures(ISuiteExtension2* extension)
{
    if (!extension)
        return E_POINTER;
    HRESULT hr = S_OK;
    const std::wstring features = Property(extension, L"KRWindowsFeatureList", hr);
    Log(L"features " + features);

    BSTR name = SysAllocString(L"KR2012CoreInstalled");
    BSTR value = SysAllocString(L"1");
    hr = extension->put_Property(name, value);
    SysFreeString(name);
    SysFreeString(value);
    Log(L"core " + std::to_wstring(hr));

    BSTR message = SysAllocString(L"Turning on Windows features");
    extension->LogInfo(message);
    hr = extension->SendProgressMessage(message, 1, 2, epfMessageValid);
    SysFreeString(message);
    Log(L"progress " + std::to_wstring(hr));

    const std::wstring result = Property(extension, L"KRWindowsFeaturesTestResult", hr);
    return static_cast<HRESULT>(std::wcstol(result.c_str(), nullptr, 10));
}
