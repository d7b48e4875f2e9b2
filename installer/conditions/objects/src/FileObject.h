#pragma once

// "File": a file's times, version and content, read through the file provider.

#include <span>

#include <com/Dispatch.h>
#include <com/Object.h>

#include "automation/Interfaces.h"
#include "kr/stringx.h"

class CFileObject : public com::ObjectRoot, public com::DispatchImpl<IFileObject> {
public:
    static std::span<const com::InterfaceEntry> InterfaceTable() noexcept;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override = 0;
    STDMETHODIMP_(ULONG) AddRef() override = 0;
    STDMETHODIMP_(ULONG) Release() override = 0;

    STDMETHODIMP get_Value(BSTR* value) override;
    // "access", "create" or anything else for the last write; S_FALSE and no text for time 0.
    STDMETHODIMP get_Date(BSTR timeType, BSTR* value) override;
    STDMETHODIMP get_Version(BSTR* value) override;
    STDMETHODIMP get_Content(BSTR* content) override;
    // The 64-bit view is asked for with "true"; a later Ctor never turns it off.
    STDMETHODIMP Ctor(BSTR file, BSTR is64BitPath) override;

protected:
    CFileObject();
    ~CFileObject() = default;

private:
    _stringx m_path;
    bool m_check64Bit = false;
};
