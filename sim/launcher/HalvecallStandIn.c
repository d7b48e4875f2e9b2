/* The managed-code DLL a suite carries for its web-deploy packages,
   PowerShell scripts and managed-code actions. Each entry hands what it was
   given back to the engine as a property and succeeds: "HalvecallWebDeploy"
   ("A|B"), "HalvecallPowerShell" (the script path), "HalvecallClr"
   ("file|name|arguments"). The web-deploy entry also logs "web deploy A|B"
   and returns the number the engine holds in "HalvecallWebDeployResult"
   when it holds one. The exported names are the decorated ones callers look
   up, in both architectures (HalvecallStandIn.def). */

#define COBJMACROS
#include <windows.h>
#include <oaidl.h>
#include <initguid.h>

#include <stdio.h>
#include <wchar.h>

#include "TessarelLib.h"

static HRESULT PutJoined(IDispatch* extension, const wchar_t* name, BSTR a, BSTR b, BSTR c)
{
    ISuiteExtension* suite = NULL;
    wchar_t line[2048];
    BSTR n, v;
    HRESULT hr;
    if (!extension || FAILED(IDispatch_QueryInterface(extension, &IID_ISuiteExtension, (void**)&suite)))
        return E_NOINTERFACE;
    if (c)
        _snwprintf(line, sizeof(line) / sizeof(line[0]) - 1, L"%ls|%ls|%ls", a ? a : L"", b ? b : L"", c);
    else if (b)
        _snwprintf(line, sizeof(line) / sizeof(line[0]) - 1, L"%ls|%ls", a ? a : L"", b);
    else
        _snwprintf(line, sizeof(line) / sizeof(line[0]) - 1, L"%ls", a ? a : L"");
    line[sizeof(line) / sizeof(line[0]) - 1] = 0;
    n = SysAllocString(name);
    v = SysAllocString(line);
    hr = ISuiteExtension_put_Property(suite, n, v);
    SysFreeString(n);
    SysFreeString(v);
    ISuiteExtension_Release(suite);
    return hr;
}

/* The engine's number in the property, or fallback when it holds none. */
static HRESULT PropertyCode(IDispatch* extension, const wchar_t* name, HRESULT fallback)
{
    ISuiteExtension* suite = NULL;
    BSTR n, value = NULL;
    HRESULT hr = fallback;
    if (!extension || FAILED(IDispatch_QueryInterface(extension, &IID_ISuiteExtension, (void**)&suite)))
        return fallback;
    n = SysAllocString(name);
    if (SUCCEEDED(ISuiteExtension_get_Property(suite, n, &value)) && value && value[0])
        hr = (HRESULT)wcstoul(value, NULL, 0);
    SysFreeString(n);
    SysFreeString(value);
    ISuiteExtension_Release(suite);
    return hr;
}

static void LogLine(IDispatch* extension, BSTR a, BSTR b)
{
    ISuiteExtension* suite = NULL;
    wchar_t line[2048];
    BSTR text;
    if (!extension || FAILED(IDispatch_QueryInterface(extension, &IID_ISuiteExtension, (void**)&suite)))
        return;
    _snwprintf(line, sizeof(line) / sizeof(line[0]) - 1, L"web deploy %ls|%ls", a ? a : L"", b ? b : L"");
    line[sizeof(line) / sizeof(line[0]) - 1] = 0;
    text = SysAllocString(line);
    ISuiteExtension_LogInfo(suite, text);
    SysFreeString(text);
    ISuiteExtension_Release(suite);
}

HRESULT __stdcall WebDeployEntry(IDispatch* extension, BSTR a, BSTR b)
{
    const HRESULT put = PutJoined(extension, L"HalvecallWebDeploy", a, b ? b : L"", NULL);
    LogLine(extension, a, b);
    return PropertyCode(extension, L"HalvecallWebDeployResult", put);
}

HRESULT __stdcall PowerShellEntry(IDispatch* extension, BSTR script)
{
    return PutJoined(extension, L"HalvecallPowerShell", script, NULL, NULL);
}

HRESULT __stdcall ClrActionEntry(IDispatch* extension, BSTR file, BSTR name, BSTR arguments)
{
    return PutJoined(extension, L"HalvecallClr", file, name ? name : L"", arguments ? arguments : L"");
}
