#pragma once

// One folder of a parcel's package: where its files come from (a folder on
// disk, the setup stream or a web location), its name below its parent's
// stage folder, its files and its sub-folders.

#include <memory>
#include <vector>

#include "kr/stringx.h"
#include "properties/Properties.h"
#include "staging/File.h"

class CFolder : public CProperties {
public:
    void SetAttribute(const _stringx& name, const _stringx& value) override;

    CFile& AddFile(std::unique_ptr<CFile> file);
    CFolder& AddSubFolder(std::unique_ptr<CFolder> folder);

    // Stages the files and sub-folders below the parent's stage folder, or
    // only computes the stage path. A Source folder may be used in place: its
    // location is then the stage path.
    HRESULT Stage(const _stringx& parentStagePath, _stringx& stagePath, const _stringx& parentLocation);

    int GetSourceType() const noexcept { return m_sourceType; }
    const _stringx& GetLocation() const noexcept { return m_location; }
    void SetLocation(const _stringx& location) { m_location = location; }
    void SetForceSource(bool force) noexcept { m_forceSource = force; }
    void SetPathOnly(bool pathOnly) noexcept { m_pathOnly = pathOnly; }
    const std::vector<std::unique_ptr<CFile>>& Files() const noexcept { return m_files; }

private:
    int m_sourceType = sstNone;
    _stringx m_location;
    _stringx m_name;
    std::vector<std::unique_ptr<CFile>> m_files;
    std::vector<std::unique_ptr<CFolder>> m_folders;
    bool m_forceSource = false;
    bool m_pathOnly = false;
};
