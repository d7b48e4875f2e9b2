#pragma once

// The logging element of a parcel: how its handler makes the package write a
// log. An executable or script parcel appends a command line; a Windows
// Installer parcel uses a log name and options.

#include "kr/stringx.h"
#include "properties/Properties.h"

class CParcelLoggingParameters : public CProperties {
public:
    explicit CParcelLoggingParameters(bool nonMsi) noexcept : m_nonMsi(nonMsi) {}

    void SetAttribute(const _stringx& name, const _stringx& value) override;

    // Each is empty for the other family of handlers.
    _stringx GetCommandLine() const;
    _stringx GetLogName() const;
    _stringx GetLogOptions() const;

private:
    _stringx m_commandLine;
    _stringx m_logOptions;
    _stringx m_logName;
    bool m_nonMsi;
};
