#pragma once

// The files a parcel needs, as one tree of folders, staged into the parcel's
// stage folder before it runs. The parcel sets "GetPathOnly",
// "ForceStageSourceType", "Name" and "ParcelId" first; staging writes
// "RootPath" back.

#include <memory>

#include "properties/Properties.h"
#include "staging/Folder.h"

class CPackage : public CProperties {
public:
    // Replaces an earlier root folder.
    CFolder& SetRootFolder(std::unique_ptr<CFolder> folder);
    CFolder* RootFolder() const noexcept { return m_root.get(); }
    // A file directly under the package joins the root folder, made without a source when there is none.
    CFile& AddFile(std::unique_ptr<CFile> file);

    // S_FALSE without a root folder. Otherwise the result of correcting the
    // stage path (S_FALSE when nothing applies), or the failure of staging.
    HRESULT Stage();

private:
    std::unique_ptr<CFolder> m_root;
};
