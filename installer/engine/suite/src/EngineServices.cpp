// The parcels' services that sit with the engine. Actions, the elevated proxy
// and writing the shared-parcel client lists are not built yet and answer
// E_NOTIMPL.

#include "suite/SetupEngine.h"

namespace {

constexpr wchar_t kParcelClientsKey[] = L"Software\\Korvanstilmer\\SuiteInstallers\\Parcels\\";

} // namespace

HRESULT CSetupEngine::RunAction(const _stringx&, IParcel2*)
{
    return E_NOTIMPL;
}

void CSetupEngine::GetParcelClients(const _stringx& parcelId, kr::stringx_vector& clients)
{
    clients.clear();
    const _stringx key = _stringx(kParcelClientsKey) + parcelId;
    DWORD bytes = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Clients", RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ |
                     RRF_NOEXPAND, nullptr, nullptr, &bytes) != ERROR_SUCCESS || bytes < sizeof(wchar_t))
        return;
    std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Clients", RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ |
                     RRF_NOEXPAND, nullptr, text.data(), &bytes) != ERROR_SUCCESS)
        return;
    const _stringx list(text.data());
    size_t start = 0;
    while (start < list.length()) {
        size_t end = list.find(L' ', start);
        if (end == _stringx::npos)
            end = list.length();
        if (end > start)
            clients.push_back(list.substr(start, end - start));
        start = end + 1;
    }
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
    _stringx number;
    m_savedState.SaveParcelValue(parcelId, L"Action", number.format(L"%d", action));
    m_savedState.SaveParcelValue(parcelId, L"Detect", number.format(L"%d", detected));
    m_savedState.SaveParcelValue(parcelId, L"Complete", complete ? L"1" : L"0");
}

LONG CSetupEngine::LaunchElevatedExe(const _stringx&, const _stringx&, const _stringx&, int, bool,
                                     CProxyExeCallbackWrapper&)
{
    return E_NOTIMPL;
}
