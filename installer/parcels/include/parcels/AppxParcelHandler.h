#pragma once

// The handler of an "Appx" parcel: installs or removes a Windows app package
// by asking the app-package companion program (request 11 on its pipe), and
// imports the package's signing certificate into the machine's TrustedPeople
// store when the companion asks for it, here when the engine is elevated,
// else through the elevated proxy.

#include <memory>
#include <vector>

#include "parcels/ParcelHandler.h"
#include "parcels/ProxyHandler.h"

class CAppxParcelHandler : public CParcelHandler {
public:
    explicit CAppxParcelHandler(CParcel& parcel) noexcept : CParcelHandler(parcel) {}

    static std::unique_ptr<CParcelHandler> Make(CParcel& parcel);

    bool SupportsTransaction() override { return false; }
    HRESULT Run() override;
    EnumParcelType GetType() override { return eptAppx; }
    bool IsRebootStatus() override { return false; }
    HRESULT Detect(EnumParcelInstallState* state, bool shared) override;

    HRESULT Install(const _stringx& packagePath, bool forceShutdown);
    HRESULT Remove(const _stringx& target);
    HRESULT SendAppxRequest(const _stringx& data1, const std::vector<BYTE>& record);
    // Empty when it cannot be had.
    _stringx GetPackageFullName();
    DWORD AnswerProgress(CProxyHandler& pipe, DWORD current, bool install);

private:
    void AnswerCompanionRequest(CProxyHandler& companion, PipeBytes payload);
    DWORD InstallCertificate();
};
