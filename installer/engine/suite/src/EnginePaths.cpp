#include "suite/EnginePaths.h"

#include "kr/folders.h"
#include "kr/trace_log.h"
#include "kr/win32_exception.h"

#define ENGINE_TRACE(...) TraceFormat({L"SetupEngine", __LINE__}, __VA_ARGS__)

_stringx GetSpecialFolderPath(int csidl)
{
    try {
        return kr::get_special_folder(csidl);
    } catch (const kr::win32_exception&) {
        ENGINE_TRACE(L"Bad argument while trying to get folder %d", csidl);
    } catch (...) {
        ENGINE_TRACE(L"Unknown exception while trying to get folder %d", csidl);
    }
    return _stringx();
}

void SplitUrl(const _stringx& url, _stringx& folder, _stringx& file)
{
    folder.clear();
    file.clear();
    size_t scheme = 0;
    if (url.starts_with(L"http://"))
        scheme = 7;
    else if (url.starts_with(L"https://"))
        scheme = 8;
    else
        return;
    const _stringx rest = url.substr(scheme);
    const size_t slash = rest.rfind(L"/");
    if (slash == _stringx::npos) {
        file = rest;
        folder = url.substr(0, scheme);
        return;
    }
    file = rest.substr(slash + 1);
    folder = url.substr(0, scheme + slash);
}

_stringx GetUrlFileName(const _stringx& url)
{
    _stringx folder;
    _stringx file;
    SplitUrl(url, folder, file);
    return file;
}
