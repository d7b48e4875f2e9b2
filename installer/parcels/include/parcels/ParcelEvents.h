#pragma once

// The source of a parcel's _IParcelEvents: every firing calls IDispatch::Invoke
// on each connected sink in connection order and returns the last result.

#include <com/ConnectionPoint.h>

#include "automation/Interfaces.h"

class CProxy_IParcelEvents {
public:
    explicit CProxy_IParcelEvents(IConnectionPointContainer& container) noexcept
        : m_point(container, IID__IParcelEvents)
    {
    }

    com::ConnectionPoint& Point() noexcept { return m_point; }

    HRESULT Fire_OnParcelEvent(EnumParcelProgressState state, IParcel* parcel, VARIANT_BOOL* cancel) noexcept;
    HRESULT Fire_OnParcelProgress(BSTR message, int current, int maximum, EnumProgressFlags flags,
                                  VARIANT_BOOL* cancel) noexcept;
    HRESULT Fire_OnFileError(IParcel* parcel, BSTR message, int errorFlags, int* action) noexcept;
    HRESULT Fire_OnFilesInUse(IParcel* parcel, const VARIANT& items, VARIANT_BOOL restartManager,
                              int* action) noexcept;

private:
    com::ConnectionPoint m_point;
};
