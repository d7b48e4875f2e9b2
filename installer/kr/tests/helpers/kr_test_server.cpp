// A COM server stand-in for the self-registration tests: its entries write
// and remove one value under HKEY_CURRENT_USER (or under the classes root,
// which the per-user override remaps).

#include <windows.h>

namespace {

const wchar_t kServerKey[] = L"Software\\KrTests\\DllServer";

} // namespace

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer()
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kServerKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr))
        return E_FAIL;
    const DWORD one = 1;
    RegSetValueExW(key, L"Registered", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof(one));
    RegCloseKey(key);
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer()
{
    RegDeleteKeyW(HKEY_CURRENT_USER, kServerKey);
    return S_OK;
}
