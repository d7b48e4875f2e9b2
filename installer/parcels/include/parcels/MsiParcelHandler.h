#pragma once

// The handler of "Msi" and "Msp" parcels: detects the package or patch from
// the codes and version setup.xml gives, builds the Windows Installer
// command line (the launcher's properties, the operation's command line, the
// features' lists or an in-place upgrade), picks the log, and runs it through
// msi.dll in this process or, elevated or 64-bit, through the proxy that
// holds the parcel's transaction. msi.dll's messages become parcel events.

#include <memory>

#include "parcels/MsiUIHandlerProxy.h"
#include "parcels/ParcelHandler.h"
#include "parcels/RebootHandler.h"

class CCondition;

class CMsiParcelHandler : public CParcelHandler, public CMsiUIHandlerProxy, public CRebootHandler {
public:
    CMsiParcelHandler(CParcel& parcel, bool patch) noexcept : CParcelHandler(parcel), m_patch(patch) {}

    static std::unique_ptr<CParcelHandler> MakePackage(CParcel& parcel);
    static std::unique_ptr<CParcelHandler> MakePatch(CParcel& parcel);

    bool SupportsTransaction() override;
    HRESULT Run() override;
    EnumParcelType GetType() override { return m_patch ? eptMsp : eptMsi; }
    bool Is64Bit() override;
    bool IsRebootStatus() override;
    HRESULT Detect(EnumParcelInstallState* state, bool shared) override;
    HRESULT GetFeatureState(const _stringx& feature, int* state) override;
    // Marks the parcel for an in-place upgrade, whatever the argument.
    void Mark(bool mark) override;

    void GetRebootCodes(std::vector<DWORD>& codes) override;

    // Request 2 on the connection of the open transaction.
    UINT RunElevated(const _stringx& target, const _stringx& commandLine, int kind, int uiType, bool patch,
                     const _stringx& logFile, DWORD logMode) override;
    HRESULT OnError(const _stringx& message, int errorFlags, int* action) override;
    HRESULT OnProgress(const _stringx& message, int current, int maximum, int flags, VARIANT_BOOL* cancel) override;
    HRESULT OnFilesInUse(const _stringx& message, int* action, short restartManager) override;

    // The feature part of the command line for an install mode, an operation
    // kind and the command line so far.
    _stringx BuildFeatureList(int mode, int kind, const _stringx& commandLine) const;
    HRESULT DetectPatch(EnumParcelInstallState* state);

    bool IsInPlaceUpgrade() const noexcept { return m_inPlaceUpgrade; }

private:
    std::unique_ptr<CCondition> MakeInstalledCondition();
    HRESULT DetectProduct(EnumParcelInstallState* state);
    void MakeLog(_stringx& logFile, DWORD& logMode) const;

    bool m_patch;
    bool m_upgradeDecided = false;
    bool m_inPlaceUpgrade = false;
};
