// A COM server stand-in for the self-registration tests: its entries write
// and remove one value under HKEY_CURRENT_USER and one key under the classes
// root, which the per-user override remaps to the user's classes.

#include <windows.h>

namespace {

const wchar_t kServerKey[] = L"Software\\KrTests\\DllServer";
const wchar_t kClassKey[] = L"KrTests.DllServer";

} // namespace

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer()
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kServerKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr))
        return E_FAIL;
    const DWORD one = 1;
    RegSetValueExW(key, L"Registered", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof(one));
    RegCloseKey(key);
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, kClassKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr))
        return E_FAIL;
    RegCloseKey(key);
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer()
{
    RegDeleteKeyW(HKEY_CURRENT_USER, kServerKey);
    RegDeleteKeyW(HKEY_CLASSES_ROOT, kClassKey);
    return S_OK;
}
