#pragma once

// The common base of the parcel handlers: the one object of each parcel that
// knows how to detect, run and judge its kind of package. The parcel, the
// transaction and the features call it without knowing the package type.

#include <windows.h>

#include "automation/Interfaces.h"
#include "kr/stringx.h"

class CParcel;
class COperation;

class CParcelHandler {
public:
    explicit CParcelHandler(CParcel& parcel) noexcept : m_parcel(parcel) {}
    CParcelHandler(const CParcelHandler&) = delete;
    CParcelHandler& operator=(const CParcelHandler&) = delete;
    virtual ~CParcelHandler();

    // The parcel may run inside a Windows Installer transaction.
    virtual bool SupportsTransaction() = 0;
    // Runs the operation and keeps its status as the last status.
    virtual HRESULT Run() = 0;
    virtual EnumParcelType GetType() = 0;
    virtual bool Is64Bit();
    // The last status asks for a reboot.
    virtual bool IsRebootStatus() = 0;
    // 1: not handled, the parcel's detect condition decides; S_OK: decided;
    // a failure is dropped by the parcel.
    virtual HRESULT Detect(EnumParcelInstallState* state, bool shared);
    // 1 when not handled.
    virtual HRESULT GetFeatureState(const _stringx& feature, int* state);
    virtual void Mark(bool mark);
    virtual HRESULT Reserved();

    HRESULT GetLastStatus() const noexcept { return m_lastStatus; }
    // Set by the parcel right before Run.
    void SetOperation(COperation* operation) noexcept { m_operation = operation; }
    COperation* GetOperation() const noexcept { return m_operation; }
    // Cleared when the parcel receives a detect condition: the handler's own
    // detection then defers to it.
    bool HasOwnDetection() const noexcept { return m_ownDetection; }
    void ClearOwnDetection() noexcept { m_ownDetection = false; }

protected:
    CParcel& GetParcel() const noexcept { return m_parcel; }

    HRESULT m_lastStatus = S_OK;

private:
    CParcel& m_parcel;
    COperation* m_operation = nullptr;
    bool m_ownDetection = true;
};
