#include "automation/BootstrapError.h"

#include "automation/SuiteErrors.h"

#include "kr/holders.h"

#include <new>

namespace {

constexpr DWORD kMessageCapacity = 1040;
constexpr WORD kFirstSuiteCode = 0x700;

HRESULT CopyOut(const _stringx& text, BSTR* out)
{
    *out = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.length()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

} // namespace

CBootstrapError::CBootstrapError(IBootstrap2* engine, LANGID language)
    : com::DispatchImpl<IBootstrapError>(TessarelTypeInfo<&IID_IBootstrapError>()), engine_(engine),
      language_(language)
{
}

HRESULT CBootstrapError::Create(IBootstrap2* engine, LANGID language, EnumBootstrapErrorSource source, HRESULT hr,
                                const _stringx& file, IParcel* parcel, IBootstrapError** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    com::ComPtr<com::Object<CBootstrapError>> error;
    HRESULT result = com::MakeObject(error, engine, language);
    if (FAILED(result))
        return result;
    try {
        error->SetError(source, hr, file, parcel);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    *out = error.Detach();
    return S_OK;
}

std::span<const com::InterfaceEntry> CBootstrapError::InterfaceTable() noexcept
{
    static const com::InterfaceEntry table[] = {
        com::InterfaceOf<CBootstrapError, IBootstrapError>(IID_IBootstrapError),
        com::InterfaceOf<CBootstrapError, IDispatch>(IID_IDispatch),
    };
    return table;
}

void CBootstrapError::SetError(EnumBootstrapErrorSource source, HRESULT hr, const _stringx& file, IParcel* parcel)
{
    file_ = file;
    source_ = source;
    hr_ = hr;
    parcel_ = com::ComPtr<IParcel>(parcel);
}

_stringx CBootstrapError::Describe() const
{
    if (HRESULT_FACILITY(hr_) == FACILITY_ITF && HRESULT_CODE(hr_) >= kFirstSuiteCode) {
        const wchar_t* string_id = SuiteErrorStringId(hr_);
        if (!string_id)
            return _stringx();
        _stringx text = ResolveSuiteText(string_id);
        if (source_ == ebesEngine && hr_ == SUITE_E_ABORTCONDITION)
            text += file_;
        return text;
    }
    return SystemMessage();
}

_stringx CBootstrapError::ResolveSuiteText(const wchar_t* string_id) const
{
    if (!engine_)
        return _stringx();
    kr::bstr_holder id(SysAllocString(string_id));
    kr::bstr_holder resolved;
    if (!id.get() || FAILED(engine_->ResolveString(id.get(), resolved.address())) || !resolved.get())
        return _stringx();
    return _stringx(resolved.get(), SysStringLen(resolved.get()));
}

_stringx CBootstrapError::SystemMessage() const
{
    wchar_t message[kMessageCapacity] = {};
    const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    DWORD length = FormatMessageW(flags, nullptr, static_cast<DWORD>(hr_), language_, message, kMessageCapacity,
                                  nullptr);
    // The system may have no message in the suite's language: the default one is better than none.
    if (length == 0 && language_ != 0)
        length = FormatMessageW(flags, nullptr, static_cast<DWORD>(hr_), 0, message, kMessageCapacity, nullptr);
    return _stringx(message, length);
}

STDMETHODIMP CBootstrapError::get_Source(EnumBootstrapErrorSource* source)
{
    if (!source)
        return E_POINTER;
    *source = source_;
    return S_OK;
}

STDMETHODIMP CBootstrapError::get_LastError(HRESULT* hr)
{
    if (!hr)
        return E_POINTER;
    *hr = hr_;
    return S_OK;
}

STDMETHODIMP CBootstrapError::get_File(BSTR* file)
{
    if (!file)
        return E_POINTER;
    return CopyOut(file_, file);
}

STDMETHODIMP CBootstrapError::get_Parcel(IParcel** parcel)
{
    if (!parcel)
        return E_POINTER;
    *parcel = parcel_.CopyOut();
    return S_OK;
}

STDMETHODIMP CBootstrapError::get_Description(BSTR* description)
{
    if (!description)
        return E_POINTER;
    *description = nullptr;
    try {
        return CopyOut(Describe(), description);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
