#include "update/UpdateEntity.h"

void CUpdateEntity::SetAttribute(const _stringx& name, const _stringx& value)
{
    // _stringx compares without regard to case.
    if (name == L"Id")
        m_id = value;
    else if (name == L"Version")
        m_version = value;
    else if (name == L"Url")
        m_url = value;
    else if (name == L"CommandLine")
        m_commandLine = value;
    else if (name == L"SilentCommandLine")
        m_silentCommandLine = value;
    else
        CProperties::SetAttribute(name, value);
}
