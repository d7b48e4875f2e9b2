// What suite actions reach of the engine: the staging folder, files of the
// setup stream, the script-debug settings and the proxy callers.

#include "suite/SetupEngine.h"

#include "kr/file_system.h"
#include "parcels/ProxyApi.h"
#include "payload/Stream.h"

bool CSetupEngine::ExtractStreamFile(const _stringx& name, const _stringx& path)
{
    const StreamFileEntry* entry = nullptr;
    DWORD dataOffset = 0;
    if (!m_stream || !m_stream->is_open() || !m_stream->FindStreamFile(name, entry, dataOffset))
        return false;
    kr::create_folder_of(path);
    return m_stream->ExtractEntry(*entry, dataOffset, path, nullptr) == 1;
}

namespace {

// Actions' proxy calls on a proxy caller of their own.
class ProxyApiCalls : public IActionProxyCalls {
public:
    LONG CallDll(const _stringx& dllPath, const _stringx& entryPoint, CParcel* parcel, bool elevated) override
    {
        return m_api.CallDll(dllPath, entryPoint, parcel, elevated);
    }
    LONG CallPowerShell(const _stringx& halvecallPath, const _stringx& script, CParcel* parcel,
                        bool elevated) override
    {
        return m_api.CallPowerShell(halvecallPath, script, parcel, elevated);
    }
    LONG CallClr(const _stringx& halvecallPath, const _stringx& file, const _stringx& name,
                 const _stringx& arguments, CParcel* parcel, bool elevated) override
    {
        return m_api.CallClr(halvecallPath, file, name, arguments, parcel, elevated);
    }
    LONG CallQuillex(const _stringx& engineFolder, const _stringx& function, CParcel* parcel, bool elevated,
                     bool scriptDebug, const _stringx& symbolPath) override
    {
        return m_api.CallQuillex(engineFolder, function, parcel, elevated, scriptDebug, symbolPath);
    }

private:
    CProxyApi m_api;
};

} // namespace

std::unique_ptr<IActionProxyCalls> CSetupEngine::NewProxyCalls()
{
    return std::make_unique<ProxyApiCalls>();
}
