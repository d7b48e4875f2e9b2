#include "parcels/EmbeddedProxyParcelExtension.h"

#include <cstring>
#include <new>

#include "automation/TypeLibrary.h"
#include "parcels/EmbeddedExtensionCall.h"
#include "parcels/PipeRecords.h"

namespace {

constexpr DWORD kParcelExtensionCall = 13;

enum SubCode : DWORD {
    kName = 0,
    kDescription = 1,
    kId = 2,
    kEligible = 3,
    kRequired = 4,
    kActionState = 5,
    kDetectedState = 7,
    kExitCode = 8,
    kType = 9,
    kUIType = 10,
};

} // namespace

CEmbeddedProxyParcelExtension::CEmbeddedProxyParcelExtension()
    : com::DispatchImpl<IParcel>(TessarelTypeInfo<&IID_IParcel>())
{
}

HRESULT CEmbeddedProxyParcelExtension::CreateInstance(com::ComPtr<com::Object<CEmbeddedProxyParcelExtension>>& out)
{
    return com::MakeObject(out);
}

std::span<const com::InterfaceEntry> CEmbeddedProxyParcelExtension::InterfaceTable() noexcept
{
    static const com::InterfaceEntry table[] = {
        com::InterfaceOf<CEmbeddedProxyParcelExtension, IParcel>(IID_IParcel),
        com::InterfaceOf<CEmbeddedProxyParcelExtension, IParcel>(IID_IDispatch),
    };
    return table;
}

// The request's record carries the sub-code alone: five zero words and the 4 trailing zero bytes.
HRESULT CEmbeddedProxyParcelExtension::ReadText(DWORD subCode, BSTR* text)
{
    if (!text)
        return E_POINTER;
    *text = nullptr;
    ExtensionCallOutcome outcome;
    try {
        ExtensionCallRequest request;
        request.sub_code = subCode;
        outcome = CallEngineExtension(m_pipe, kParcelExtensionCall, WriteExtensionCallRequest(request));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (FAILED(outcome.status) || !outcome.result)
        return outcome.status;
    const std::vector<BYTE>& bytes = outcome.result->result;
    if (!bytes.empty()) {
        *text = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(bytes.data()),
                                  static_cast<UINT>(bytes.size() / sizeof(OLECHAR)));
        if (!*text)
            return E_OUTOFMEMORY;
    }
    return outcome.status;
}

// stored is set when the engine's answer carried a number.
HRESULT CEmbeddedProxyParcelExtension::ReadNumber(DWORD subCode, DWORD& number, bool& stored)
{
    stored = false;
    ExtensionCallRequest request;
    request.sub_code = subCode;
    ExtensionCallOutcome outcome = CallEngineExtension(m_pipe, kParcelExtensionCall,
                                                       WriteExtensionCallRequest(request));
    if (FAILED(outcome.status) || !outcome.result)
        return outcome.status;
    if (outcome.result->result.size() == sizeof(DWORD)) {
        std::memcpy(&number, outcome.result->result.data(), sizeof(DWORD));
        stored = true;
    }
    return outcome.status;
}

template <class T>
HRESULT CEmbeddedProxyParcelExtension::ReadInto(DWORD subCode, T* out)
{
    if (!out)
        return E_POINTER;
    DWORD number = 0;
    bool stored = false;
    HRESULT hr = S_OK;
    try {
        hr = ReadNumber(subCode, number, stored);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (stored) {
        if constexpr (sizeof(T) == sizeof(VARIANT_BOOL))
            *out = static_cast<T>(static_cast<WORD>(number));
        else
            *out = static_cast<T>(number);
    }
    return hr;
}

STDMETHODIMP CEmbeddedProxyParcelExtension::get_Name(BSTR* name)
{
    return ReadText(kName, name);
}

STDMETHODIMP CEmbeddedProxyParcelExtension::get_Description(BSTR* description)
{
    return ReadText(kDescription, description);
}

STDMETHODIMP CEmbeddedProxyParcelExtension::get_ID(BSTR* id)
{
    return ReadText(kId, id);
}

STDMETHODIMP CEmbeddedProxyParcelExtension::get_Eligible(VARIANT_BOOL* eligible)
{
    return ReadInto(kEligible, eligible);
}

STDMETHODIMP CEmbeddedProxyParcelExtension::get_Required(VARIANT_BOOL* required)
{
    return ReadInto(kRequired, required);
}

STDMETHODIMP CEmbeddedProxyParcelExtension::get_ActionState(EnumParcelInstallState* state)
{
    return ReadInto(kActionState, state);
}

STDMETHODIMP CEmbeddedProxyParcelExtension::put_ActionState(EnumParcelInstallState)
{
    return E_NOTIMPL;
}

STDMETHODIMP CEmbeddedProxyParcelExtension::get_DetectedState(EnumParcelInstallState* state)
{
    return ReadInto(kDetectedState, state);
}

STDMETHODIMP CEmbeddedProxyParcelExtension::get_ExitCode(int* code)
{
    return ReadInto(kExitCode, code);
}

STDMETHODIMP CEmbeddedProxyParcelExtension::get_Type(EnumParcelType* type)
{
    return ReadInto(kType, type);
}

STDMETHODIMP CEmbeddedProxyParcelExtension::get_UIType(EnumParcelUIType* type)
{
    return ReadInto(kUIType, type);
}
