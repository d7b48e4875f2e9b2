// What suite actions reach of the engine: the staging folder, files of the
// setup stream, the script-debug settings and the proxy callers.

#include "suite/SetupEngine.h"

#include "kr/file_system.h"
#include "payload/Stream.h"

_stringx CSetupEngine::GetStagingFolder()
{
    return m_supportFolder;
}

bool CSetupEngine::ExtractStreamFile(const _stringx& name, const _stringx& path)
{
    const StreamFileEntry* entry = nullptr;
    DWORD dataOffset = 0;
    if (!m_stream || !m_stream->is_open() || !m_stream->FindStreamFile(name, entry, dataOffset))
        return false;
    kr::create_folder_of(path);
    return m_stream->ExtractEntry(*entry, dataOffset, path, nullptr) == 1;
}

std::unique_ptr<IActionProxyCalls> CSetupEngine::NewProxyCalls()
{
    // No proxy caller is made here yet: actions that need one find no proxy connection.
    return nullptr;
}
