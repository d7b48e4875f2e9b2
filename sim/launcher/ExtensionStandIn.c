/* An extension DLL as a suite ships one: each entry takes the extension
   object of the proxy and returns a result the caller can recognise. The
   entries below use every member of the extension and of the parcel it may
   offer, and hand what they read back to the engine as properties. */

#define COBJMACROS
#include <windows.h>
#include <oaidl.h>
#include <initguid.h>

#include <stdio.h>
#include <wchar.h>

#include "TessarelLib.h"

__declspec(dllexport) HRESULT __stdcall StandInEntry(IDispatch* extension)
{
    (void)extension;
    return (HRESULT)0x00000BC2;
}

static ISuiteExtension2* SecondInterface(IDispatch* extension)
{
    ISuiteExtension2* suite = NULL;
    if (!extension ||
        FAILED(IDispatch_QueryInterface(extension, &IID_ISuiteExtension2, (void**)&suite)))
        return NULL;
    return suite;
}

static HRESULT PutText(ISuiteExtension2* suite, const wchar_t* name, const wchar_t* value)
{
    BSTR n = SysAllocString(name);
    BSTR v = SysAllocString(value);
    HRESULT hr = ISuiteExtension2_put_Property(suite, n, v);
    SysFreeString(n);
    SysFreeString(v);
    return hr;
}

/* Calls each member once. The engine is expected to hold "StandInInput";
   its value comes back as "StandInEcho", its formatted form as
   "StandInFormatted" and the resolved string id as "StandInResolved". The
   result says which of the refusals was missing: 0x20 get Attribute did not
   answer E_NOTIMPL, 0x40 a null out pointer did not give E_POINTER; else the
   first failing call's HRESULT, or S_OK. */
__declspec(dllexport) HRESULT __stdcall CallEverySuiteMember(IDispatch* extension)
{
    ISuiteExtension2* suite = SecondInterface(extension);
    BSTR text = NULL, value = NULL, formatted = NULL, resolved = NULL;
    HRESULT result = S_OK, hr;
    if (!suite)
        return E_NOINTERFACE;

    text = SysAllocString(L"Anything");
    if (ISuiteExtension2_get_Attribute(suite, text, &value) != E_NOTIMPL)
        result = 0x20;
    SysFreeString(text);
    text = SysAllocString(L"StandInInput");
    if (ISuiteExtension2_get_Property(suite, text, NULL) != E_POINTER)
        result = 0x40;

    text = SysAllocString(L"stand-in extension: hello");
    hr = ISuiteExtension2_LogInfo(suite, text);
    SysFreeString(text);
    text = SysAllocString(L"StandInInput");
    if (SUCCEEDED(hr))
        hr = ISuiteExtension2_get_Property(suite, text, &value);
    SysFreeString(text);
    text = SysAllocString(L"<[StandInInput]>");
    if (SUCCEEDED(hr))
        hr = ISuiteExtension2_FormatProperty(suite, text, &formatted);
    SysFreeString(text);
    text = SysAllocString(L"IDS_STANDIN_UNKNOWN");
    if (SUCCEEDED(hr))
        hr = ISuiteExtension2_ResolveString(suite, text, &resolved);
    SysFreeString(text);
    if (SUCCEEDED(hr))
        hr = PutText(suite, L"StandInEcho", value);
    if (SUCCEEDED(hr))
        hr = PutText(suite, L"StandInFormatted", formatted);
    if (SUCCEEDED(hr))
        hr = PutText(suite, L"StandInResolved", resolved);
    text = SysAllocString(L"stand-in step");
    if (SUCCEEDED(hr))
        hr = ISuiteExtension2_SendProgressMessage(suite, text, 3, 7,
                                                 (EnumProgressFlags)(epfProgressValid | epfMessageValid));
    SysFreeString(text);

    SysFreeString(value);
    SysFreeString(formatted);
    SysFreeString(resolved);
    ISuiteExtension2_Release(suite);
    if (FAILED(hr))
        return hr;
    return result;
}

/* Reads every property of the parcel the engine offered into
   "StandInParcel" as "name|description|id|eligible|required|action|detected|
   exit code|type|UI type|setter result"; without a parcel the answer to the
   query is the result. */
__declspec(dllexport) HRESULT __stdcall ReadEveryParcelMember(IDispatch* extension)
{
    ISuiteExtension2* suite = SecondInterface(extension);
    IParcel* parcel = NULL;
    BSTR name = NULL, description = NULL, id = NULL;
    VARIANT_BOOL eligible = 0, required = 0;
    EnumParcelInstallState action = 0, detected = 0;
    int exitCode = 0;
    EnumParcelType type = 0;
    EnumParcelUIType uiType = 0;
    HRESULT hr, setter;
    wchar_t line[1024];
    if (!suite)
        return E_NOINTERFACE;
    hr = ISuiteExtension2_QueryInterface(suite, &IID_IParcel, (void**)&parcel);
    if (FAILED(hr)) {
        ISuiteExtension2_Release(suite);
        return hr;
    }
    IParcel_get_Name(parcel, &name);
    IParcel_get_Description(parcel, &description);
    IParcel_get_ID(parcel, &id);
    IParcel_get_Eligible(parcel, &eligible);
    IParcel_get_Required(parcel, &required);
    IParcel_get_ActionState(parcel, &action);
    IParcel_get_DetectedState(parcel, &detected);
    IParcel_get_ExitCode(parcel, &exitCode);
    IParcel_get_Type(parcel, &type);
    IParcel_get_UIType(parcel, &uiType);
    setter = IParcel_put_ActionState(parcel, episInstalled);
    _snwprintf(line, sizeof(line) / sizeof(line[0]) - 1, L"%ls|%ls|%ls|%d|%d|%d|%d|%d|%d|%d|0x%08lx",
               name ? name : L"", description ? description : L"", id ? id : L"", (int)eligible, (int)required,
               (int)action, (int)detected, exitCode, (int)type, (int)uiType, (unsigned long)setter);
    line[sizeof(line) / sizeof(line[0]) - 1] = 0;
    hr = PutText(suite, L"StandInParcel", line);
    SysFreeString(name);
    SysFreeString(description);
    SysFreeString(id);
    IParcel_Release(parcel);
    ISuiteExtension2_Release(suite);
    return hr;
}

/* Returns the number the engine holds in "StandInReturnCode" (decimal, or
   hexadecimal after 0x). */
__declspec(dllexport) HRESULT __stdcall ReturnPropertyCode(IDispatch* extension)
{
    ISuiteExtension2* suite = SecondInterface(extension);
    BSTR name = SysAllocString(L"StandInReturnCode");
    BSTR value = NULL;
    HRESULT hr = E_NOINTERFACE;
    if (suite) {
        hr = ISuiteExtension2_get_Property(suite, name, &value);
        if (SUCCEEDED(hr))
            hr = (HRESULT)wcstoul(value ? value : L"", NULL, 0);
        ISuiteExtension2_Release(suite);
    }
    SysFreeString(name);
    SysFreeString(value);
    return hr;
}

/* Writes through a null pointer. */
__declspec(dllexport) HRESULT __stdcall RaiseAccessViolation(IDispatch* extension)
{
    (void)extension;
    *(volatile int*)0 = 1;
    return S_OK;
}
