// The stand-in user interface: its two entries, its event sink and the calls
// its script asks for. Everything runs on the launcher's user-interface thread.

#include <windows.h>
#include <ocidl.h>

#include <cstdio>
#include <string>

#include "StandInScript.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wwrite-strings"
#include "TessarelLib.h"
#pragma GCC diagnostic pop

namespace {

StandInScript g_script;
IBootstrap2* g_bootstrap = nullptr;
IConnectionPoint* g_point = nullptr;
DWORD g_cookie = 0;

void Log(const std::wstring& line)
{
    if (g_script.logPath.empty())
        return;
    const std::wstring text = line + L"\n";
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                        nullptr);
    HANDLE file = CreateFileW(g_script.logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::wstring Hex(long value)
{
    wchar_t text[16];
    std::swprintf(text, 16, L"0x%08lx", static_cast<unsigned long>(value));
    return text;
}

std::wstring Text(BSTR text)
{
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

// A BSTR the caller frees.
struct Bstr {
    BSTR value = nullptr;
    Bstr() = default;
    explicit Bstr(const std::wstring& text) : value(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { SysFreeString(value); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
};

template <class T>
void ReleaseAndClear(T*& object)
{
    if (object)
        object->Release();
    object = nullptr;
}

// The texts the getter reads from each item of a collection, joined by ",".
template <class Collection, class Item>
std::wstring ItemTexts(Collection* collection, HRESULT (STDMETHODCALLTYPE Item::*getText)(BSTR*))
{
    std::wstring texts;
    long count = 0;
    if (!collection || FAILED(collection->get_Count(&count)))
        return texts;
    for (long index = 1; index <= count; ++index) {
        VARIANT key;
        VariantInit(&key);
        key.vt = VT_I4;
        key.lVal = index;
        Item* item = nullptr;
        if (SUCCEEDED(collection->get_Item(key, &item)) && item) {
            Bstr text;
            (item->*getText)(&text.value);
            texts += (texts.empty() ? L"" : L",") + Text(text.value);
            item->Release();
        }
    }
    return texts;
}

std::wstring ParcelIds(IParcels* parcels)
{
    return ItemTexts(parcels, &IParcel::get_ID);
}

std::wstring FeatureNames(IFeatures* features)
{
    return ItemTexts(features, &IFeature::get_Name);
}

// One object argument as the log shows it.
std::wstring DescribeObject(IDispatch* object)
{
    if (!object)
        return L"DISPATCH:null";
    IBootstrapError* error = nullptr;
    if (SUCCEEDED(object->QueryInterface(IID_IBootstrapError, reinterpret_cast<void**>(&error)))) {
        HRESULT code = S_OK;
        error->get_LastError(&code);
        error->Release();
        return L"ERROR:" + Hex(code);
    }
    IParcels* parcels = nullptr;
    if (SUCCEEDED(object->QueryInterface(IID_IParcels, reinterpret_cast<void**>(&parcels)))) {
        const std::wstring ids = ParcelIds(parcels);
        parcels->Release();
        return L"PARCELS:" + ids;
    }
    IParcel* parcel = nullptr;
    if (SUCCEEDED(object->QueryInterface(IID_IParcel, reinterpret_cast<void**>(&parcel)))) {
        Bstr id;
        parcel->get_ID(&id.value);
        parcel->Release();
        return L"PARCEL:" + Text(id.value);
    }
    return L"DISPATCH";
}

std::wstring Describe(const VARIANT& argument)
{
    switch (argument.vt) {
    case VT_EMPTY:
        return L"EMPTY";
    case VT_I4:
        return L"I4:" + std::to_wstring(argument.lVal);
    case VT_I8:
        return L"I8:" + std::to_wstring(argument.llVal);
    case VT_BOOL:
        return L"BOOL:" + std::to_wstring(argument.boolVal);
    case VT_BSTR:
        return L"BSTR:" + Text(argument.bstrVal);
    case VT_DISPATCH:
        return DescribeObject(argument.pdispVal);
    case VT_BOOL | VT_BYREF:
        return L"BOOL*";
    case VT_BSTR | VT_BYREF:
        return L"BSTR*";
    default:
        return L"VT:" + std::to_wstring(argument.vt);
    }
}

const wchar_t* EventName(DISPID id)
{
    static const wchar_t* const names[] = {L"?",
                                           L"OnBootstrapEvent",
                                           L"OnError",
                                           L"OnInstallingParcel",
                                           L"OnStagingParcel",
                                           L"OnStagingProgress",
                                           L"OnQueryReboot",
                                           L"OnQueryParcelNotDetected",
                                           L"OnUpgradingParcels",
                                           L"OnPromptForSourceMedia",
                                           L"OnSuiteRegistration",
                                           L"OnNonFatalError",
                                           L"OnActionEventInfo"};
    return id >= 1 && id <= 12 ? names[id] : names[0];
}

bool Listed(const std::vector<int>& list, int value)
{
    for (int item : list)
        if (item == value)
            return true;
    return false;
}

// One script call on the engine, logged with its result.
void Call(const std::wstring& call)
{
    if (!g_bootstrap)
        return;
    const auto [verb, rest] = SplitWord(call);
    HRESULT hr = E_INVALIDARG;
    std::wstring result;
    if (verb == L"get") {
        Bstr name(rest), value;
        hr = g_bootstrap->get_Property(name.value, &value.value);
        result = Text(value.value);
    } else if (verb == L"put") {
        const auto [name, value] = SplitWord(rest);
        Bstr nameText(name), valueText(value);
        hr = g_bootstrap->put_Property(nameText.value, valueText.value);
    } else if (verb == L"mode") {
        EnumInstallMode mode = eimInvalid;
        hr = g_bootstrap->get_InstallMode(&mode);
        result = std::to_wstring(mode);
    } else if (verb == L"set-mode") {
        hr = g_bootstrap->put_InstallMode(static_cast<EnumInstallMode>(std::stoi(rest)));
    } else if (verb == L"state") {
        EnumBootstrapState state = ebsInvalid;
        hr = g_bootstrap->get_BootstrapState(&state);
    } else if (verb == L"run-action") {
        Bstr id(rest);
        hr = g_bootstrap->RunAction(id.value);
    } else if (verb == L"parcels") {
        IParcels* parcels = nullptr;
        hr = g_bootstrap->get_Parcels(&parcels);
        result = ParcelIds(parcels);
        ReleaseAndClear(parcels);
    } else if (verb == L"features") {
        IFeatures* features = nullptr;
        hr = g_bootstrap->get_Features(&features);
        result = FeatureNames(features);
        ReleaseAndClear(features);
    } else if (verb == L"commandline") {
        Bstr line;
        hr = g_bootstrap->get_CommandLine(&line.value);
        result = Text(line.value);
    } else if (verb == L"maintenance") {
        VARIANT_BOOL maintenance = VARIANT_FALSE;
        hr = g_bootstrap->get_IsMaintenance(&maintenance);
        result = std::to_wstring(maintenance);
    } else if (verb == L"exitstatus") {
        HRESULT status = S_OK;
        hr = g_bootstrap->get_ExitStatus(&status);
        result = Hex(status);
    } else if (verb == L"substitute" || verb == L"resolve") {
        Bstr text(rest), out;
        hr = verb == L"resolve" ? g_bootstrap->ResolveString(text.value, &out.value)
                                : g_bootstrap->SubstitutePropertyValues(text.value, &out.value);
        result = Text(out.value);
    } else if (verb == L"loginfo") {
        Bstr text(rest);
        hr = g_bootstrap->LogInfo(text.value);
    }
    Log(L"call " + call + L" -> " + Hex(hr) + (result.empty() ? L"" : L" '" + result + L"'"));
}

class EventSink : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID__IBootstrapEvents)) {
            *out = static_cast<IDispatch*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // One static sink for the life of the DLL.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }

    // Arguments arrive last first; the log shows them in declaration order.
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override
    {
        std::wstring line = L"event ";
        line += EventName(id);
        for (UINT index = params->cArgs; index-- > 0;)
            line += L" " + Describe(params->rgvarg[index]);
        Log(line);

        int state = -1;
        if (id == 1 && params->cArgs == 2 && params->rgvarg[1].vt == VT_I4)
            state = params->rgvarg[1].lVal;
        const bool cancel = Listed(g_script.cancelEvents, id) || (id == 1 && Listed(g_script.cancelStates, state));
        for (UINT index = 0; index < params->cArgs; ++index) {
            VARIANT& argument = params->rgvarg[index];
            if (argument.vt == (VT_BOOL | VT_BYREF) && argument.pboolVal &&
                (cancel || (id == 6 && g_script.rebootNow)))
                *argument.pboolVal = VARIANT_TRUE;
            if (argument.vt == (VT_BSTR | VT_BYREF) && argument.pbstrVal && id == 9 && !g_script.sourcePath.empty()) {
                SysFreeString(*argument.pbstrVal);
                *argument.pbstrVal = SysAllocString(g_script.sourcePath.c_str());
            }
        }
        if (id == 1) {
            const auto calls = g_script.stateCalls.equal_range(state);
            for (auto call = calls.first; call != calls.second; ++call)
                Call(call->second);
        }
        return S_OK;
    }
};

EventSink g_sink;

void Disconnect()
{
    if (g_point && g_cookie)
        g_point->Unadvise(g_cookie);
    g_cookie = 0;
    ReleaseAndClear(g_point);
    ReleaseAndClear(g_bootstrap);
}

} // namespace

extern "C" HRESULT WINAPI InitializeSuiteUI(IBootstrap* bootstrap)
{
    g_script = LoadStandInScript();
    Log(L"InitializeSuiteUI");
    if (!bootstrap)
        return E_POINTER;
    HRESULT hr = bootstrap->QueryInterface(IID_IBootstrap2, reinterpret_cast<void**>(&g_bootstrap));
    Log(L"QueryInterface IBootstrap2 -> " + Hex(hr));
    IConnectionPointContainer* container = nullptr;
    if (SUCCEEDED(hr))
        hr = bootstrap->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container));
    if (SUCCEEDED(hr))
        hr = container->FindConnectionPoint(IID__IBootstrapEvents, &g_point);
    ReleaseAndClear(container);
    if (SUCCEEDED(hr))
        hr = g_point->Advise(&g_sink, &g_cookie);
    Log(L"Advise -> " + Hex(hr));
    for (const std::wstring& call : g_script.initCalls)
        Call(call);
    if (FAILED(g_script.initResult)) {
        Disconnect();
        Log(L"InitializeSuiteUI fails with " + Hex(g_script.initResult));
        return g_script.initResult;
    }
    return hr;
}

extern "C" void WINAPI ShutdownSuiteUI()
{
    Log(L"ShutdownSuiteUI");
    Disconnect();
}
