#include "conditions/UwpApiInformation.h"

#include <activation.h>
#include <roapi.h>

#include "kr/trace_log.h"

// Windows.Foundation.Metadata.IApiInformationStatics, of which only the
// first method is called. Outside the anonymous namespace: with no class of
// this file implementing it, the compiler would take a call through an
// interface of internal linkage for one that cannot happen.
struct IApiInformationStatics : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE IsTypePresent(HSTRING typeName, boolean* present) = 0;
};

namespace {

#define UWP_TRACE(...) TraceFormat({L"UWPApiInfoWrapper", __LINE__}, __VA_ARGS__)

constexpr wchar_t kApiInformationClass[] = L"Windows.Foundation.Metadata.ApiInformation";
constexpr IID kIidApiInformationStatics = {
    0x997439FE, 0xF681, 0x4A11, {0xB4, 0x16, 0xC1, 0x3A, 0x47, 0xE8, 0xBA, 0x36}};
constexpr IID kIidActivationFactory = {
    0x00000035, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

const WinRtFunctions* g_replacement = nullptr;

const WinRtFunctions& Functions()
{
    return g_replacement ? *g_replacement : SystemWinRtFunctions();
}

// An HSTRING made through the table and deleted through it.
class RuntimeString {
public:
    explicit RuntimeString(const _stringx& text)
    {
        m_result = Functions().createString(text.c_str(), static_cast<UINT32>(text.length()), &m_string);
    }
    ~RuntimeString()
    {
        if (m_string)
            Functions().deleteString(m_string);
    }
    RuntimeString(const RuntimeString&) = delete;
    RuntimeString& operator=(const RuntimeString&) = delete;

    HRESULT Result() const noexcept { return m_result; }
    HSTRING Get() const noexcept { return m_string; }

private:
    HSTRING m_string = nullptr;
    HRESULT m_result = E_FAIL;
};

template <class Interface>
class Reference {
public:
    Reference() = default;
    ~Reference()
    {
        if (m_pointer)
            m_pointer->Release();
    }
    Reference(const Reference&) = delete;
    Reference& operator=(const Reference&) = delete;

    Interface* operator->() const noexcept { return m_pointer; }
    void** Out() noexcept { return reinterpret_cast<void**>(&m_pointer); }

private:
    Interface* m_pointer = nullptr;
};

} // namespace

const WinRtFunctions& SystemWinRtFunctions()
{
    static const WinRtFunctions functions{RoGetActivationFactory, WindowsCreateString, WindowsDeleteString};
    return functions;
}

const WinRtFunctions* SetWinRtFunctions(const WinRtFunctions* functions)
{
    const WinRtFunctions* previous = g_replacement;
    g_replacement = functions;
    return previous;
}

bool IsUwpApiTypePresent(const _stringx& typeName)
{
    Reference<IActivationFactory> factory;
    HRESULT hr = E_FAIL;
    {
        RuntimeString className{_stringx(kApiInformationClass)};
        hr = className.Result();
        if (SUCCEEDED(hr))
            hr = Functions().getActivationFactory(className.Get(), kIidActivationFactory, factory.Out());
    }
    if (FAILED(hr)) {
        UWP_TRACE(L"Failed to create activation factory %s, error 0x%08x\n", kApiInformationClass, hr);
        return false;
    }
    Reference<IApiInformationStatics> statics;
    hr = factory->QueryInterface(kIidApiInformationStatics, statics.Out());
    if (FAILED(hr)) {
        UWP_TRACE(L"Failed to QI from IActivationFactory to IApiInformationStatics, error 0x%08x\n", hr);
        return false;
    }
    RuntimeString type(typeName);
    boolean present = false;
    hr = type.Result();
    if (SUCCEEDED(hr))
        hr = statics->IsTypePresent(type.Get(), &present);
    if (FAILED(hr)) {
        UWP_TRACE(L"ApiInfo IsTypePresent failed with error 0x%08x\n", hr);
        return false;
    }
    return present != 0;
}
