#include "suite/EngineFaces.h"

#include "kr/file_system.h"

_stringx CMemoryState::Value(const _stringx& section, const _stringx& name) const
{
    const auto found = m_values.find(section);
    if (found == m_values.end())
        return _stringx();
    const auto value = found->second.find(name);
    return value == found->second.end() ? _stringx() : value->second;
}

void CMemoryState::RemoveStagedFiles()
{
    for (const _stringx& path : m_stagedFiles)
        DeleteFileW(path.c_str());
    m_stagedFiles.clear();
}
