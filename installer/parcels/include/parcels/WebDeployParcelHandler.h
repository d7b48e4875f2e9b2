#pragma once

// The handler of a "WebDeploy" parcel: the managed-code DLL of the payload
// deploys the web package; the engine never loads it, it asks the
// non-elevated 32-bit proxy to call its entry (request 16) and serves the
// entry's extension calls meanwhile.

#include <memory>

#include <com/ComPtr.h>

#include "parcels/ParcelHandler.h"
#include "parcels/ProxySuiteExtension.h"

class CWebDeployParcelHandler : public CParcelHandler {
public:
    explicit CWebDeployParcelHandler(CParcel& parcel) noexcept : CParcelHandler(parcel) {}

    static std::unique_ptr<CParcelHandler> Make(CParcel& parcel);

    bool SupportsTransaction() override { return false; }
    HRESULT Run() override;
    EnumParcelType GetType() override { return eptWebDeploy; }
    bool IsRebootStatus() override { return false; }
    // Never installed as far as the machine can tell.
    HRESULT Detect(EnumParcelInstallState* state, bool shared) override;

    DWORD Deploy(const _stringx& packagePath, const _stringx& commandLine);

private:
    com::ComPtr<com::Object<CProxySuiteExtension>> m_extension;
};
