// The engine's resources: made while setup.xml is read, found by namespace
// or name, and staged and loaded during start-up with their progress shown.

#include "suite/SetupEngine.h"

#include "kr/holders.h"
#include "kr/trace_log.h"
#include "payload/Stream.h"

#define ENGINE_TRACE(...) TraceFormat({L"SetupEngine", __LINE__}, __VA_ARGS__)

namespace {

constexpr HRESULT kCancelled = static_cast<HRESULT>(0x80070642);

// Turns the running byte count of each extraction into the suite's
// staging progress over all resources taken from the payload.
class ResourceProgress : public IStreamProgress {
public:
    ResourceProgress(CSetupEngine& engine, DWORD total, VARIANT_BOOL& answer)
        : m_engine(engine), m_total(total), m_answer(answer)
    {
    }

    void StartFile(const _stringx& name)
    {
        m_file = name;
        m_last = 0;
    }
    HRESULT Status() const noexcept { return m_status; }

    bool OnProgress(DWORD done, DWORD) override
    {
        m_done += done - m_last;
        m_last = done;
        kr::bstr_holder file(SysAllocString(m_file.c_str()));
        m_status = m_engine.Fire_OnStagingProgress(file.get(), m_done, m_total, &m_answer);
        if (m_status >= 0 && m_answer == VARIANT_TRUE)
            m_status = kCancelled;
        return m_status == kCancelled;
    }

private:
    CSetupEngine& m_engine;
    DWORD m_total;
    VARIANT_BOOL& m_answer;
    _stringx m_file;
    DWORD m_done = 0;
    DWORD m_last = 0;
    HRESULT m_status = S_OK;
};

CResource* FindResource(const std::vector<std::unique_ptr<CResource>>& resources, const _stringx& name,
                        const _stringx& (CResource::*key)() const)
{
    for (const auto& resource : resources) {
        if (resource && ((*resource).*key)() == name)
            return resource.get();
    }
    return nullptr;
}

} // namespace

_stringx CSetupEngine::ResourceHost::GetStagingFolder()
{
    return m_engine.m_supportFolder;
}

int CSetupEngine::ResourceHost::ExtractStreamFile(const _stringx& name, const _stringx& target,
                                                  IStreamProgress* progress)
{
    return m_engine.m_stream ? m_engine.m_stream->ExtractStreamFile(name, target, progress) : 0;
}

CResource* CSetupEngine::FindResourceByNamespace(const _stringx& name)
{
    return FindResource(m_resources, name, &CResource::Namespace);
}

CResource* CSetupEngine::FindResourceByName(const _stringx& name)
{
    return FindResource(m_resources, name, &CResource::Location);
}

HRESULT CSetupEngine::InitializeResources()
{
    DWORD total = 0;
    for (const auto& resource : m_resources) {
        const StreamFileEntry* entry = nullptr;
        DWORD offset = 0;
        if (!resource->IsInitialized() && resource->SourceType() == rstStream && m_stream &&
            m_stream->FindStreamFile(resource->Location(), entry, offset))
            total += entry->stored_size;
    }
    ResourceProgress progress(*this, total, m_uiAnswer);
    // The list may grow while a resource is initialised.
    for (size_t i = 0; i < m_resources.size(); ++i) {
        CResource& resource = *m_resources[i];
        if (resource.IsInitialized())
            continue;
        progress.StartFile(resource.Location().path_file_name());
        const HRESULT hr = resource.Initialize(&progress);
        if (FAILED(hr))
            ENGINE_TRACE(L"The resource %s failed to initialize, status %x", resource.Location().c_str(), hr);
        if (progress.Status() == kCancelled)
            return kCancelled;
    }
    return S_OK;
}
