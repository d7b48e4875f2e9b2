#pragma once

// The handler of an "Exe" parcel: starts the Target of the chosen operation
// with its command line, directly or through the elevated proxy, and keeps the
// exit code as the last status. It reports the status as the run's result only
// when it is one of the parcel's RebootCodes; whether the operation worked is
// left to the parcel's re-detection.

#include "parcels/ParcelHandler.h"
#include "parcels/ProxyExeCallbackWrapper.h"
#include "parcels/RebootHandler.h"

#include <memory>

class CExeParcelHandler : public CParcelHandler, public CRebootHandler, public CProxyExeCallbackWrapper {
public:
    explicit CExeParcelHandler(CParcel& parcel) noexcept : CParcelHandler(parcel) {}

    static std::unique_ptr<CParcelHandler> Make(CParcel& parcel);

    bool SupportsTransaction() override { return false; }
    HRESULT Run() override;
    EnumParcelType GetType() override { return eptExe; }
    bool IsRebootStatus() override;

    void GetRebootCodes(std::vector<DWORD>& codes) override;

    LONG OnCallback(CProxyApi* proxy, std::span<const BYTE> payload) override;
    LONG OnQueryValue(CProxyApi* proxy) override;
    LONG OnProcessFinished(CProxyApi* proxy) override;

private:
    LONG Launch(const _stringx& target, const _stringx& commandLine);
};
