#include "conditions/FileProvider.h"

#include "kr/win32_exception.h"
#include "kr/file.h"
#include "kr/system_info.h"
#include "kr/trace_log.h"
#include "kr/wow64_redirection.h"

namespace {

#define PROVIDER_SOURCE TraceSource{L"FileProvider", __LINE__}

// WOW64 file redirection off while it lives, when the 64-bit view is asked for.
class RedirectionGuard {
public:
    explicit RedirectionGuard(bool check64Bit) : m_active(check64Bit)
    {
        if (!m_active)
            return;
        TraceFormat(PROVIDER_SOURCE, L"FileProvider: check is on 64-bit path");
        kr::wow64_redirection(false);
    }
    ~RedirectionGuard()
    {
        if (m_active)
            kr::wow64_redirection(true);
    }
    RedirectionGuard(const RedirectionGuard&) = delete;
    RedirectionGuard& operator=(const RedirectionGuard&) = delete;

private:
    bool m_active;
};

HRESULT HresultOf(DWORD code) noexcept
{
    return static_cast<LONG>(code) > 0 ? HRESULT_FROM_WIN32(code) : static_cast<HRESULT>(code);
}

ULONGLONG ToNumber(const FILETIME& time) noexcept
{
    return static_cast<ULONGLONG>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

// The time cut to whole seconds, as local file time.
ULONGLONG LocalWholeSeconds(const FILETIME& time) noexcept
{
    SYSTEMTIME system = {};
    FILETIME whole = time;
    if (FileTimeToSystemTime(&time, &system)) {
        system.wMilliseconds = 0;
        SystemTimeToFileTime(&system, &whole);
    }
    FILETIME local = {};
    if (!FileTimeToLocalFileTime(&whole, &local))
        return 0;
    return ToNumber(local);
}

} // namespace

FileProvider::FileProvider(const _stringx& path, bool check64Bit) : m_path(path), m_check64Bit(check64Bit)
{
}

_stringx FileProvider::GetContent() const
{
    RedirectionGuard guard(m_check64Bit);
    _stringx text;
    const DWORD error = kr::read_text_file_into(m_path, text);
    if (error != ERROR_SUCCESS) {
        TraceFormat(PROVIDER_SOURCE, L"FileProvider: exception result %08x attempting to get content for '%s'",
                    HresultOf(error), m_path.c_str());
        return _stringx();
    }
    return text;
}

ULONGLONG FileProvider::GetData(int kind) const
{
    RedirectionGuard guard(m_check64Bit);
    WIN32_FIND_DATAW data = {};
    try {
        kr::find_first_file(m_path, data);
    } catch (const kr::file_exception& e) {
        TraceFormat(PROVIDER_SOURCE, L"FileProvider: exception result %08x attempting to get data for '%s'",
                    HresultOf(e.code()), m_path.c_str());
        return 0;
    }
    switch (kind) {
    case fdkLastWriteTime:
        return LocalWholeSeconds(data.ftLastWriteTime);
    case fdkLastAccessTime:
        return LocalWholeSeconds(data.ftLastAccessTime);
    case fdkCreationTime:
        return LocalWholeSeconds(data.ftCreationTime);
    case fdkSize:
        return static_cast<ULONGLONG>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    case fdkAttributes:
        return data.dwFileAttributes;
    default:
        return 0;
    }
}

_stringx FileProvider::GetVersion() const
{
    RedirectionGuard guard(m_check64Bit);
    return kr::get_file_version_string(m_path, L".");
}
