#include "update/FileSignatureVerifier.h"

#include <softpub.h>
#include <wintrust.h>

namespace {

LONG PlatformVerify(HWND window, const _stringx& path)
{
    WINTRUST_FILE_INFO file = {};
    file.cbStruct = sizeof(file);
    file.pcwszFilePath = path.c_str();
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_ALL;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = 0;
    data.dwProvFlags = WTD_SAFER_FLAG;
    data.dwUIContext = WTD_UICONTEXT_INSTALL;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    return WinVerifyTrust(window, &action, &data);
}

FileSignatureVerifier g_verifier = &PlatformVerify;

} // namespace

LONG VerifyFileSignature(HWND window, const _stringx& path)
{
    return g_verifier(window, path);
}

FileSignatureVerifier SetFileSignatureVerifier(FileSignatureVerifier verifier) noexcept
{
    const FileSignatureVerifier previous = g_verifier;
    g_verifier = verifier ? verifier : &PlatformVerify;
    return previous;
}
