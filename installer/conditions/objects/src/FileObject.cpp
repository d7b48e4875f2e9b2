#include "FileObject.h"

#include "ObjectText.h"
#include "automation/TypeLibrary.h"
#include "conditions/FileProvider.h"
#include "kr/holders.h"

namespace {

int TimeKind(const _stringx& timeType)
{
    if (timeType == L"access")
        return fdkLastAccessTime;
    if (timeType == L"create")
        return fdkCreationTime;
    return fdkLastWriteTime;
}

} // namespace

CFileObject::CFileObject() : com::DispatchImpl<IFileObject>(TessarelTypeInfo<&IID_IFileObject>())
{
}

std::span<const com::InterfaceEntry> CFileObject::InterfaceTable() noexcept
{
    static const com::InterfaceEntry table[] = {
        com::InterfaceOf<CFileObject, IFileObject>(IID_IFileObject),
        com::InterfaceOf<CFileObject, IFileObject>(IID_IDispatch),
    };
    return table;
}

STDMETHODIMP CFileObject::get_Value(BSTR*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CFileObject::get_Date(BSTR timeType, BSTR* value)
{
    if (!value)
        return E_POINTER;
    *value = nullptr;
    const ULONGLONG time = FileProvider(m_path, m_check64Bit).GetData(TimeKind(TextIn(timeType)));
    if (time == 0)
        return S_FALSE;
    // The provider's time is local already: no further zone change.
    const FILETIME fileTime = {static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
    SYSTEMTIME systemTime = {};
    if (!FileTimeToSystemTime(&fileTime, &systemTime))
        return HRESULT_FROM_WIN32(GetLastError());
    kr::variant_holder date;
    V_VT(date.get()) = VT_DATE;
    if (!SystemTimeToVariantTime(&systemTime, &V_DATE(date.get())))
        return E_INVALIDARG;
    const HRESULT hr = VariantChangeType(date.get(), date.get(), 0, VT_BSTR);
    if (FAILED(hr))
        return hr;
    *value = V_BSTR(date.get());
    V_VT(date.get()) = VT_EMPTY;
    return S_OK;
}

STDMETHODIMP CFileObject::get_Version(BSTR* value)
{
    if (!value)
        return E_POINTER;
    return TextOut(FileProvider(m_path, m_check64Bit).GetVersion(), value);
}

STDMETHODIMP CFileObject::get_Content(BSTR* content)
{
    if (!content)
        return E_POINTER;
    return TextOut(FileProvider(m_path, m_check64Bit).GetContent(), content);
}

STDMETHODIMP CFileObject::Ctor(BSTR file, BSTR is64BitPath)
{
    m_path = TextIn(file);
    if (TextIn(is64BitPath) == L"true")
        m_check64Bit = true;
    return S_OK;
}
