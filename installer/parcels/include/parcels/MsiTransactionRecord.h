#pragma once

// A Windows Installer multi-package transaction as the launcher holds it for
// one run: its handle, its change-of-owner event, whether one is wanted (and
// supported), and whether it was begun.

#include <windows.h>

#include "parcels/MsiFunctions.h"

class CMsiTransactionRecord {
public:
    CMsiTransactionRecord(const MsiFunctions& msi, bool use_msi_transaction) noexcept
        : msi_(msi), use_msi_(use_msi_transaction)
    {
    }

    // Clears the wish for a transaction when msi.dll is older than 4.5.
    void CheckSupport();
    // S_FALSE when no transaction is wanted; S_OK once begun under the name
    // "KR_{GUID}"; a failure of the call as 0x8007xxxx.
    HRESULT Begin();
    // Ends a begun transaction, committing or rolling back, and forgets its
    // handle: 0 or the call's failure as 0x8007xxxx. S_FALSE when none was begun.
    HRESULT End(bool commit);
    // Joins the transaction of a handle, when transactions are supported; the call's result.
    UINT Join(MSIHANDLE_VALUE transaction, DWORD attributes);

    MSIHANDLE_VALUE Handle() const noexcept { return handle_; }
    HANDLE ChangeOfOwnerEvent() const noexcept { return change_of_owner_; }
    bool UsesMsiTransaction() const noexcept { return use_msi_; }
    bool Begun() const noexcept { return begun_; }

private:
    const MsiFunctions& msi_;
    MSIHANDLE_VALUE handle_ = 0;
    HANDLE change_of_owner_ = nullptr;
    bool use_msi_;
    bool begun_ = false;
};
