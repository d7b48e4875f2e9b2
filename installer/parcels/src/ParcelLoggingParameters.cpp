#include "parcels/ParcelLoggingParameters.h"

void CParcelLoggingParameters::SetAttribute(const _stringx& name, const _stringx& value)
{
    if (name == L"CommandLine")
        m_commandLine = value;
    else if (name == L"LogOptions")
        m_logOptions = value;
    else if (name == L"LogName")
        m_logName = value;
    else
        CProperties::SetAttribute(name, value);
}

_stringx CParcelLoggingParameters::GetCommandLine() const
{
    return m_nonMsi ? m_commandLine : _stringx();
}

_stringx CParcelLoggingParameters::GetLogName() const
{
    return m_nonMsi ? _stringx() : m_logName;
}

_stringx CParcelLoggingParameters::GetLogOptions() const
{
    return m_nonMsi ? _stringx() : m_logOptions;
}
