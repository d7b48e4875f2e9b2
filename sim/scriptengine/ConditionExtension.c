/* An extension DLL for extension conditions. Each entry pair is named for
 * what it shows: Std (stdcall, exported through .def aliases), Cdecl, Fault
 * (its evaluator writes through a null pointer), Crash (its validator does),
 * Loose (answers 1, not
 * VARIANT_TRUE) and Lonely (an evaluator without a validator). The
 * evaluators answer true when the condition's "Expect" attribute is "yes". */
#define COBJMACROS
#include <windows.h>

#include "TessarelLib.h"

static HRESULT Log(ISuiteExtension* extension, const wchar_t* text)
{
    BSTR line = SysAllocString(text);
    HRESULT hr = line ? ISuiteExtension_LogInfo(extension, line) : E_OUTOFMEMORY;
    SysFreeString(line);
    return hr;
}

static HRESULT AnswerExpected(ISuiteExtension* extension, VARIANT_BOOL* result)
{
    BSTR name = SysAllocString(L"Expect");
    BSTR value = NULL;
    HRESULT hr = name ? ISuiteExtension_get_Attribute(extension, name, &value) : E_OUTOFMEMORY;
    SysFreeString(name);
    if (FAILED(hr))
        return hr;
    *result = (value && lstrcmpW(value, L"yes") == 0) ? VARIANT_TRUE : VARIANT_FALSE;
    SysFreeString(value);
    return S_OK;
}

HRESULT __stdcall Std_Validate(ISuiteExtension* extension)
{
    return Log(extension, L"Std validated");
}

HRESULT __stdcall Std_Evaluate(ISuiteExtension* extension, VARIANT_BOOL* result)
{
    return AnswerExpected(extension, result);
}

HRESULT __cdecl Cdecl_Validate(ISuiteExtension* extension)
{
    return Log(extension, L"Cdecl validated");
}

HRESULT __cdecl Cdecl_Evaluate(ISuiteExtension* extension, VARIANT_BOOL* result)
{
    return AnswerExpected(extension, result);
}

HRESULT __stdcall Fault_Validate(ISuiteExtension* extension)
{
    (void)extension;
    return S_OK;
}

HRESULT __stdcall Fault_Evaluate(ISuiteExtension* extension, VARIANT_BOOL* result)
{
    (void)extension;
    (void)result;
    *(volatile int*)0 = 1;
    return S_OK;
}

HRESULT __stdcall Crash_Validate(ISuiteExtension* extension)
{
    (void)extension;
    *(volatile int*)0 = 1;
    return S_OK;
}

HRESULT __stdcall Crash_Evaluate(ISuiteExtension* extension, VARIANT_BOOL* result)
{
    (void)extension;
    *result = VARIANT_TRUE;
    return S_OK;
}

HRESULT __stdcall Loose_Validate(ISuiteExtension* extension)
{
    (void)extension;
    return S_OK;
}

HRESULT __stdcall Loose_Evaluate(ISuiteExtension* extension, VARIANT_BOOL* result)
{
    (void)extension;
    *result = 1;
    return S_OK;
}

HRESULT __stdcall Lonely_Evaluate(ISuiteExtension* extension, VARIANT_BOOL* result)
{
    (void)extension;
    *result = VARIANT_TRUE;
    return S_OK;
}
