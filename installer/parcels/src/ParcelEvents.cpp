#include "parcels/ParcelEvents.h"

#include <com/Variant.h>

namespace {

constexpr DISPID kOnParcelEvent = 1;
constexpr DISPID kOnParcelProgress = 2;
constexpr DISPID kOnFileError = 3;
constexpr DISPID kOnFilesInUse = 4;

com::Variant IntRef(int* cell) noexcept
{
    com::Variant v;
    v.Get().vt = VT_I4 | VT_BYREF;
    v.Get().plVal = reinterpret_cast<LONG*>(cell);
    return v;
}

com::Variant Text(BSTR text) noexcept
{
    return com::Variant::String(text ? std::wstring_view(text, SysStringLen(text)) : std::wstring_view());
}

} // namespace

HRESULT CProxy_IParcelEvents::Fire_OnParcelEvent(EnumParcelProgressState state, IParcel* parcel,
                                                 VARIANT_BOOL* cancel) noexcept
{
    const com::Variant arguments[] = {com::Variant::Int32(state), com::Variant::Dispatch(parcel),
                                      com::Variant::BoolRef(cancel)};
    return m_point.InvokeEach(kOnParcelEvent, arguments);
}

HRESULT CProxy_IParcelEvents::Fire_OnParcelProgress(BSTR message, int current, int maximum, EnumProgressFlags flags,
                                                    VARIANT_BOOL* cancel) noexcept
{
    const com::Variant arguments[] = {Text(message), com::Variant::Int32(current), com::Variant::Int32(maximum),
                                      com::Variant::Int32(flags), com::Variant::BoolRef(cancel)};
    return m_point.InvokeEach(kOnParcelProgress, arguments);
}

HRESULT CProxy_IParcelEvents::Fire_OnFileError(IParcel* parcel, BSTR message, int errorFlags, int* action) noexcept
{
    const com::Variant arguments[] = {com::Variant::Dispatch(parcel), Text(message), com::Variant::Int32(errorFlags),
                                      IntRef(action)};
    return m_point.InvokeEach(kOnFileError, arguments);
}

HRESULT CProxy_IParcelEvents::Fire_OnFilesInUse(IParcel* parcel, const VARIANT& items, VARIANT_BOOL restartManager,
                                                int* action) noexcept
{
    com::Variant copy;
    const HRESULT hr = com::Variant::CopyFrom(items, copy);
    if (FAILED(hr))
        return hr;
    com::Variant manager;
    manager.Get().vt = VT_BOOL;
    manager.Get().boolVal = restartManager;
    const com::Variant arguments[] = {com::Variant::Dispatch(parcel), std::move(copy), std::move(manager),
                                      IntRef(action)};
    return m_point.InvokeEach(kOnFilesInUse, arguments);
}
