#pragma once

// The error object the engine hands to the user interface with OnError: where
// a failure arose, its HRESULT, a file or detail text, the parcel concerned,
// and a description in the suite's selected language.

#include "automation/TypeLibrary.h"

#include "kr/stringx.h"

#include <com/ComPtr.h>
#include <com/Object.h>

#include <span>

class CBootstrapError : public com::ObjectRoot, public com::DispatchImpl<IBootstrapError> {
public:
    // engine resolves the string ids of the launcher's own codes; language is
    // the one the engine's language manager chose, for system messages.
    CBootstrapError(IBootstrap2* engine, LANGID language);

    // A filled error object with one reference.
    static HRESULT Create(IBootstrap2* engine, LANGID language, EnumBootstrapErrorSource source, HRESULT hr,
                          const _stringx& file, IParcel* parcel, IBootstrapError** out);

    static std::span<const com::InterfaceEntry> InterfaceTable() noexcept;

    // Fills the error; the new parcel gets a reference, the old one is released.
    void SetError(EnumBootstrapErrorSource source, HRESULT hr, const _stringx& file, IParcel* parcel);

    // The description rule: the resolved text of the code's string id for the
    // launcher's own codes, else the system message of the code.
    _stringx Describe() const;

    STDMETHODIMP get_Source(EnumBootstrapErrorSource* source) override;
    STDMETHODIMP get_LastError(HRESULT* hr) override;
    STDMETHODIMP get_File(BSTR* file) override;
    STDMETHODIMP get_Parcel(IParcel** parcel) override;
    STDMETHODIMP get_Description(BSTR* description) override;

private:
    _stringx ResolveSuiteText(const wchar_t* string_id) const;
    _stringx SystemMessage() const;

    com::ComPtr<IBootstrap2> engine_;
    LANGID language_;
    EnumBootstrapErrorSource source_ = ebesStaging;
    HRESULT hr_ = S_OK;
    _stringx file_;
    com::ComPtr<IParcel> parcel_;
};
