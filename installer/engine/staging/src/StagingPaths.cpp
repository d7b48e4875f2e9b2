#include "staging/StagingPaths.h"

#include "kr/handle_holder.h"
#include "kr/md5.h"
#include "kr/trace_log.h"

#define STAGING_SOURCE TraceSource{L"Staging", __LINE__}

namespace {

struct file_handle_policy {
    static HANDLE empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE handle) noexcept { CloseHandle(handle); }
};
using file_holder = kr::basic_handle_holder<file_handle_policy>;

using GetFinalPathNameByHandleFunction = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);

constexpr DWORD kFinalPathBuffer = 520;

} // namespace

_stringx AppendUrlPart(const _stringx& url, const _stringx& part)
{
    if (url.ends_with_char(L'/')) {
        if (!part.empty() && part[0] == L'/')
            return url + part.substr(1);
        return url + part;
    }
    if (part.empty() || part[0] == L'/')
        return url + part;
    return url + L"/" + part;
}

_stringx GetFileMD5Text(const _stringx& path)
{
    file_holder file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.empty())
        return _stringx();
    kr::md5_context context;
    unsigned char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof(buffer), &got, nullptr) && got != 0)
        context.update(buffer, got);
    unsigned char digest[kr::md5_context::digest_size];
    context.final(digest);
    return kr::md5_text(digest);
}

_stringx FinalPathToPlain(const _stringx& finalPath)
{
    _stringx plain = finalPath;
    if (finalPath.starts_with(L"\\\\?\\UNC\\"))
        plain = L"\\\\" + finalPath.substr(8);
    else if (finalPath.starts_with(L"\\\\?\\"))
        plain = finalPath.substr(4);
    else
        return plain;
    return plain.add_trailing_backslash();
}

HRESULT GetCorrectPath(const _stringx& path, _stringx& out, bool wow64)
{
    out = path;
    const bool unc = path.length() > 2 && path.starts_with(L"\\\\");
    if (unc || !wow64)
        return S_FALSE;
    file_holder file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (file.empty()) {
        const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
        TraceFormat(STAGING_SOURCE, L"GetCorrectPath: error %08x opening '%s'", hr, path.c_str());
        return hr;
    }
    const auto resolve = reinterpret_cast<GetFinalPathNameByHandleFunction>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetFinalPathNameByHandleW")));
    if (!resolve)
        return S_FALSE;
    wchar_t buffer[kFinalPathBuffer] = {};
    const DWORD length = resolve(file.get(), buffer, kFinalPathBuffer, 0);
    if (length == 0 || length >= kFinalPathBuffer)
        return HRESULT_FROM_WIN32(length == 0 ? GetLastError() : ERROR_INSUFFICIENT_BUFFER);
    const _stringx resolved = FinalPathToPlain(_stringx(buffer, length));
    if (resolved != path) {
        TraceFormat(STAGING_SOURCE,
                    L"GetCorrectedPath: new path is '%s' (was this on localappdata in system context? old: '%s')",
                    resolved.c_str(), path.c_str());
        out = resolved;
    }
    return S_OK;
}
