// The parcels' services that sit with the engine. Writing the shared-parcel
// client lists is not built yet and answers E_NOTIMPL.

#include "suite/SetupEngine.h"

#include "kr/registry.h"
#include "parcels/ProxyApi.h"

namespace {

constexpr wchar_t kParcelClientsKey[] = L"Software\\Korvanstilmer\\SuiteInstallers\\Parcels\\";

} // namespace

void CSetupEngine::GetParcelClients(const _stringx& parcelId, kr::stringx_vector& clients)
{
    clients.clear();
    const _stringx list = kr::reg_read_string(HKEY_LOCAL_MACHINE, _stringx(kParcelClientsKey) + parcelId, L"Clients",
                                              _stringx());
    list.split(L' ', kr::split_skip_empty, clients);
}

HRESULT CSetupEngine::WriteParcelClients(const _stringx&, const kr::stringx_vector&)
{
    return E_NOTIMPL;
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
