#pragma once

// One file of a parcel's package: where it comes from relative to its folder,
// its expected digest and size, and where it was staged.

#include <windows.h>

#include "kr/stringx.h"
#include "payload/Stream.h"
#include "properties/Properties.h"

// Where a folder's files come from.
enum StageSourceType {
    sstSource = 0, // a folder on disk
    sstStream = 1, // the setup stream
    sstUrl = 2,    // a web location
    sstNone = 3,   // the root folder made for files placed directly under a package
};

class CFile : public CProperties, public IStreamProgress {
public:
    void SetAttribute(const _stringx& name, const _stringx& value) override;

    // Fetches the file into the target folder unless it is there with its
    // digest: 0, or E_ABORT for a copy that failed without a reason; throws
    // staged_file_exception for the other failures.
    HRESULT Stage(const _stringx& location, const _stringx& targetFolder, int sourceType);
    // The staged copy has the expected digest; never without both digests.
    bool CheckMD5();

    _stringx GetName() const { return m_name; }
    _stringx GetMD5() const { return m_md5; }
    _stringx GetStagedPath() const { return m_stagedPath; }
    long long GetSize() const noexcept { return m_size; }
    bool IsCancelled() const noexcept { return m_cancelled; }
    void SetCancelled() noexcept { m_cancelled = true; }

    // Progress of a stream extraction; true cancels.
    bool OnProgress(DWORD done, DWORD total) override;

private:
    _stringx m_name;
    _stringx m_md5;
    _stringx m_stagedPath;
    bool m_cancelled = false;
    long long m_size = 0;
};
