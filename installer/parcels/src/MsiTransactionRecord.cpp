#include "parcels/MsiTransactionRecord.h"

#include <cstdio>

#include "conditions/Version.h"
#include "kr/folders.h"
#include "kr/win32_exception.h"

namespace {

constexpr DWORD kLowestVersion = 0x40005; // 4.5

HRESULT FromCall(UINT result)
{
    return result == 0 ? S_OK : static_cast<HRESULT>(0x80070000 | (result & 0xFFFF));
}

_stringx TransactionName()
{
    GUID guid = {};
    CoCreateGuid(&guid);
    wchar_t text[64] = {};
    swprintf(text, 64, L"KR_{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1, guid.Data2,
             guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
             guid.Data4[6], guid.Data4[7]);
    return text;
}

} // namespace

void CMsiTransactionRecord::CheckSupport()
{
    _stringx path;
    try {
        path = kr::get_system_folder(kr::system_folder_system) + L"msi.dll";
    } catch (const kr::win32_exception&) {
    }
    wchar_t version[64] = {};
    DWORD size = 64;
    DWORD high = 0;
    DWORD low = 0;
    if (!msi_.GetFileVersionW || path.empty() || msi_.GetFileVersionW(path.c_str(), version, &size, nullptr, nullptr) != 0 ||
        FAILED(ParseVersion4(version, &high, &low)) || high < kLowestVersion)
        use_msi_ = false;
}

HRESULT CMsiTransactionRecord::Begin()
{
    if (!use_msi_)
        return S_FALSE;
    if (!msi_.BeginTransactionW)
        return FromCall(ERROR_PROC_NOT_FOUND);
    const _stringx name = TransactionName();
    const UINT result = msi_.BeginTransactionW(name.c_str(), 0, &handle_, &change_of_owner_);
    if (result == 0)
        begun_ = true;
    return FromCall(result);
}

HRESULT CMsiTransactionRecord::End(bool commit)
{
    if (!use_msi_ || !begun_)
        return S_FALSE;
    const UINT result = msi_.EndTransaction ? msi_.EndTransaction(commit ? 1 : 0) : ERROR_PROC_NOT_FOUND;
    handle_ = 0;
    begun_ = false;
    return FromCall(result);
}

UINT CMsiTransactionRecord::Join(MSIHANDLE_VALUE transaction, DWORD attributes)
{
    // An older msi.dll has other functions at these ordinals.
    if (!use_msi_ || !msi_.JoinTransaction)
        return ERROR_CALL_NOT_IMPLEMENTED;
    handle_ = transaction;
    return msi_.JoinTransaction(transaction, attributes, &change_of_owner_);
}
