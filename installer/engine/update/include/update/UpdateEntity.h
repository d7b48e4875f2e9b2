#pragma once

// One "Update" entry of the update description: the suite it is for, the new
// version, the address of the new launcher and the command lines to start it
// with, and the suites it replaces or keeps.

#include <map>

#include "kr/stringx.h"
#include "properties/Properties.h"

class CUpdateEntity : public CProperties {
public:
    struct NoCaseLess {
        bool operator()(const _stringx& a, const _stringx& b) const noexcept { return a.compare(b) < 0; }
    };
    using VersionMap = std::map<_stringx, _stringx, NoCaseLess>;

    // Id, Version, Url, CommandLine and SilentCommandLine in any case; any other name goes into the bag.
    void SetAttribute(const _stringx& name, const _stringx& value) override;

    const _stringx& GetId() const noexcept { return m_id; }
    const _stringx& GetVersion() const noexcept { return m_version; }
    const _stringx& GetUrl() const noexcept { return m_url; }
    const _stringx& GetCommandLine() const noexcept { return m_commandLine; }
    const _stringx& GetSilentCommandLine() const noexcept { return m_silentCommandLine; }

    void AddReplace(const _stringx& id, const _stringx& version) { m_replace[id] = version; }
    void AddKeep(const _stringx& id, const _stringx& version) { m_keep[id] = version; }
    const VersionMap& Replaced() const noexcept { return m_replace; }
    const VersionMap& Kept() const noexcept { return m_keep; }

private:
    _stringx m_id;
    _stringx m_version;
    _stringx m_url;
    _stringx m_commandLine;
    _stringx m_silentCommandLine;
    VersionMap m_replace;
    VersionMap m_keep;
};
