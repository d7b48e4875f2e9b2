#include "update/UpdateHandler.h"

#include "conditions/Version.h"
#include "kr/trace_log.h"

#define HANDLER_SOURCE TraceSource{L"UpdateHandler", __LINE__}

CUpdateEntity& CUpdateHandler::AddEntity()
{
    m_entities.push_back(std::make_unique<CUpdateEntity>());
    return *m_entities.back();
}

HRESULT CUpdateHandler::SelectUpdate(const _stringx& path, bool& available)
{
    available = false;
    const _stringx suiteId = m_host.GetSuiteId();
    const _stringx productVersion = m_host.GetProperty(L"ProductVersion");
    if (suiteId.empty()) {
        TraceFormat(HANDLER_SOURCE, L"UpdateHandler: suite does not have a suite ID defined, unable to determine updates");
        return S_FALSE;
    }
    if (productVersion.empty()) {
        TraceFormat(HANDLER_SOURCE,
                    L"UpdateHandler: suite does not have a product version defined, unable to determine updates");
        return S_FALSE;
    }
    DWORD current = 0;
    HRESULT hr = ParseVersion3(productVersion, &current);
    if (FAILED(hr)) {
        TraceFormat(HANDLER_SOURCE,
                    L"UpdateHandler: invalid definition for suite product version, '%s', error converting: 0x%08x; "
                    L"unable to determine updates",
                    productVersion.c_str(), hr);
        return S_FALSE;
    }

    // What a partly readable description gave is still examined.
    m_parser.Parse(path, *this);
    m_selected = nullptr;
    if (m_entities.empty()) {
        TraceFormat(HANDLER_SOURCE, L"UpdateHandler: update metadata provided but appears to contain no update items");
        return S_FALSE;
    }

    for (const auto& entity : m_entities) {
        if (entity->GetId() != suiteId)
            continue;
        DWORD version = 0;
        if (FAILED(ParseVersion3(entity->GetVersion(), &version))) {
            TraceFormat(HANDLER_SOURCE, L"UpdateHandler: update with Id '%s' has invalid version '%s', skipping",
                        entity->GetId().c_str(), entity->GetVersion().c_str());
            continue;
        }
        if (version <= current)
            continue;
        if (!m_launchedFrom.empty() && m_launchedFrom == entity->GetUrl()) {
            TraceFormat(HANDLER_SOURCE,
                        L"UpdateHandler: skipping entry since this suite was launched from the same URL as update "
                        L"entry Id '%s'",
                        entity->GetId().c_str());
            continue;
        }
        TraceFormat(HANDLER_SOURCE,
                    L"UpdateHandler: selecting update entry with Id '%s',version '%s', and URL '%s' as applicable",
                    entity->GetId().c_str(), entity->GetVersion().c_str(), entity->GetUrl().c_str());
        m_selected = entity.get();
        available = true;
        return S_OK;
    }
    TraceFormat(HANDLER_SOURCE, L"UpdateHandler: no applicable updates available");
    return S_OK;
}

HRESULT CUpdateHandler::InstallUpdate()
{
    if (!m_selected) {
        TraceFormat(HANDLER_SOURCE, L"UpdateHandler: attempt to install suite update when none are available");
        return S_FALSE;
    }
    // The entry's own command line goes in front of what the download adds.
    const _stringx commandLine = m_host.IsSilent() ? m_selected->GetSilentCommandLine() : m_selected->GetCommandLine();
    bool launched = false;
    return m_host.LaunchUpdate(m_selected->GetUrl(), commandLine, launched);
}
