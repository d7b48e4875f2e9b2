// The parcels' services that sit with the engine: the client lists of shared
// parcels, the parcel state, elevated programs, the error box and the product
// name in the selected language.

#include "suite/SetupEngine.h"

#include <vector>

#include "kr/holders.h"
#include "kr/message_box.h"
#include "kr/trace_log.h"
#include "parcels/ProxyApi.h"

#define ENGINE_TRACE(...) TraceFormat({L"SetupEngine", __LINE__}, __VA_ARGS__)

namespace {

constexpr wchar_t kParcelClientsKey[] = L"Software\\Korvanstilmer\\SuiteInstallers\\Parcels\\";
// A client without a suite; never pruned.
constexpr wchar_t kNoSuiteClient[] = L"{00000000-0000-0000-0000-000000000000}";

// The "Clients" text when it is a string value; false when the key or the value is missing.
bool ReadClientsText(const _stringx& key, _stringx& text)
{
    kr::registry_key_holder opened(HKEY_LOCAL_MACHINE, key.c_str(), KEY_READ);
    if (!opened.get())
        return false;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(opened.get(), L"Clients", nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(opened.get(), L"Clients", nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
        ERROR_SUCCESS)
        return false;
    text = _stringx(buffer.data());
    return true;
}

} // namespace

void CSetupEngine::GetParcelClients(const _stringx& parcelId, kr::stringx_vector& clients)
{
    clients.clear();
    _stringx list;
    if (!ReadClientsText(_stringx(kParcelClientsKey) + parcelId, list))
        return;
    list.split(L' ', kr::split_skip_empty, clients);
    PruneParcelClients(clients);
    ENGINE_TRACE(L"SetupEngine: parcel '%s' shared client count: %d", parcelId.c_str(), static_cast<int>(clients.size()));
}

// A suite whose uninstall key cannot be read for lack of rights may still be
// installed, so only a key that is not there removes its client.
void CSetupEngine::PruneParcelClients(kr::stringx_vector& clients)
{
    const _stringx suite = GetSuiteId();
    for (auto it = clients.begin(); it != clients.end();) {
        bool keep = *it == kNoSuiteClient || *it == suite;
        if (!keep) {
            const _stringx key = _stringx(kUninstallKey).path_combine(*it);
            const kr::registry_key_holder opened(HKEY_LOCAL_MACHINE, key.c_str(), KEY_READ | kArpRegistryView);
            keep = opened.result() == ERROR_SUCCESS || opened.result() == ERROR_ACCESS_DENIED;
        }
        it = keep ? it + 1 : clients.erase(it);
    }
}

HRESULT CSetupEngine::WriteParcelClients(const _stringx& parcelId, const kr::stringx_vector& clients)
{
    const _stringx key = _stringx(kParcelClientsKey) + parcelId;
    CProxyApi proxy;
    DWORD result = 0;
    if (clients.empty()) {
        result = proxy.DeleteRegistryKey(key);
    } else {
        _stringx joined;
        joined.join(clients, L' ');
        result = proxy.SetRegistryValue(key, L"Clients", joined.c_str(),
                                        static_cast<DWORD>((joined.length() + 1) * sizeof(wchar_t)));
    }
    return HRESULT_FROM_WIN32(result);
}

bool CSetupEngine::AddSuiteToClients(kr::stringx_vector& clients)
{
    const _stringx suite = GetSuiteId();
    for (const _stringx& client : clients)
        if (client == suite)
            return true;
    clients.push_back(suite);
    return false;
}

bool CSetupEngine::RemoveSuiteFromClients(kr::stringx_vector& clients)
{
    const _stringx suite = GetSuiteId();
    for (auto it = clients.begin(); it != clients.end(); ++it) {
        if (*it == suite) {
            clients.erase(it);
            return false;
        }
    }
    return true;
}

HRESULT CSetupEngine::ShowErrorBox(const _stringx& caption, const _stringx& text, HRESULT value)
{
    if (!m_silent)
        kr::message_box(nullptr, text.c_str(), caption.c_str(), MB_ICONERROR);
    return value;
}

// The id is the ProductName setup.xml gave; each language resolves it anew.
void CSetupEngine::ResolveProductName()
{
    if (!m_productNameIdTaken) {
        m_productNameId = GetProperty(L"ProductName");
        m_productNameIdTaken = true;
    }
    SetProperty(L"ProductName", ResolveStringId(m_productNameId), false);
}

void CSetupEngine::SaveParcelState(const _stringx& parcelId, int action, int detected, bool complete)
{
    m_savedState.SaveParcelState(parcelId, action, detected, complete);
}

LONG CSetupEngine::LaunchElevatedExe(const _stringx& program, const _stringx& arguments, const _stringx& verb,
                                     int show, bool wait, CProxyExeCallbackWrapper& callbacks)
{
    CProxyApi proxy;
    proxy.SetCallbackWrapper(&callbacks);
    return proxy.LaunchElevatedExe(program, arguments, verb, show, wait);
}
