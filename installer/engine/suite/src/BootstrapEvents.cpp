#include "suite/SetupEngine.h"

#include <com/Variant.h>

#include "kr/com_exception.h"

namespace {

constexpr DISPID kOnBootstrapEvent = 1;
constexpr DISPID kOnError = 2;
constexpr DISPID kOnInstallingParcel = 3;
constexpr DISPID kOnStagingProgress = 5;
constexpr DISPID kOnQueryReboot = 6;
constexpr DISPID kOnQueryParcelNotDetected = 7;
constexpr DISPID kOnUpgradingParcels = 8;
constexpr DISPID kOnPromptForSourceMedia = 9;
constexpr DISPID kOnActionEventInfo = 12;

// A text that cannot be copied stops the firing.
com::Variant Text(BSTR text)
{
    com::Variant v = com::Variant::String(text ? std::wstring_view(text, SysStringLen(text)) : std::wstring_view());
    if (v.Get().vt != VT_BSTR)
        throw com_exception(E_OUTOFMEMORY);
    return v;
}

com::Variant Int64(LONGLONG value) noexcept
{
    com::Variant v;
    v.Get().vt = VT_I8;
    v.Get().llVal = value;
    return v;
}

com::Variant BstrRef(BSTR* cell) noexcept
{
    com::Variant v;
    v.Get().vt = VT_BSTR | VT_BYREF;
    v.Get().pbstrVal = cell;
    return v;
}

} // namespace

HRESULT CSetupEngine::Fire_OnBootstrapEvent(EnumBootstrapState state, VARIANT_BOOL* cancel)
{
    // A reference to no cell cannot cross to the user interface's apartment:
    // a state without a cancel cell goes with that argument empty.
    const com::Variant arguments[] = {com::Variant::Int32(state),
                                      cancel ? com::Variant::BoolRef(cancel) : com::Variant()};
    return m_events.InvokeEach(kOnBootstrapEvent, arguments);
}

HRESULT CSetupEngine::Fire_OnError(IBootstrapError* error)
{
    const com::Variant arguments[] = {com::Variant::Dispatch(error)};
    return m_events.InvokeEach(kOnError, arguments);
}

HRESULT CSetupEngine::Fire_OnStagingProgress(BSTR file, LONGLONG current, LONGLONG maximum, VARIANT_BOOL* cancel)
{
    const com::Variant arguments[] = {Text(file), Int64(current), Int64(maximum), com::Variant::BoolRef(cancel)};
    return m_events.InvokeEach(kOnStagingProgress, arguments);
}

HRESULT CSetupEngine::Fire_OnInstallingParcel(IParcel* parcel, VARIANT_BOOL* cancel)
{
    const com::Variant arguments[] = {com::Variant::Dispatch(parcel), com::Variant::BoolRef(cancel)};
    return m_events.InvokeEach(kOnInstallingParcel, arguments);
}

HRESULT CSetupEngine::Fire_OnQueryReboot(IParcel* parcel, VARIANT_BOOL* rebootNow)
{
    const com::Variant arguments[] = {com::Variant::Dispatch(parcel), com::Variant::BoolRef(rebootNow)};
    return m_events.InvokeEach(kOnQueryReboot, arguments);
}

HRESULT CSetupEngine::Fire_OnQueryParcelNotDetected(IParcel* parcel, VARIANT_BOOL* abort)
{
    const com::Variant arguments[] = {com::Variant::Dispatch(parcel), com::Variant::BoolRef(abort)};
    return m_events.InvokeEach(kOnQueryParcelNotDetected, arguments);
}

HRESULT CSetupEngine::Fire_OnPromptForSourceMedia(IParcel* parcel, BSTR sourceFile, VARIANT_BOOL* cancel,
                                                  BSTR* mediaPath)
{
    const com::Variant arguments[] = {com::Variant::Dispatch(parcel), Text(sourceFile),
                                      com::Variant::BoolRef(cancel), BstrRef(mediaPath)};
    return m_events.InvokeEach(kOnPromptForSourceMedia, arguments);
}

HRESULT CSetupEngine::Fire_OnActionEventInfo(BSTR message, int current, int maximum, EnumProgressFlags flags,
                                             VARIANT_BOOL* cancel)
{
    // The numbers go as 64-bit values whatever the library declares; a caller
    // without a cancel cell leaves that argument empty.
    const com::Variant arguments[] = {Text(message), Int64(current), Int64(maximum), com::Variant::Int32(flags),
                                      cancel ? com::Variant::BoolRef(cancel) : com::Variant()};
    return m_events.InvokeEach(kOnActionEventInfo, arguments);
}

HRESULT CSetupEngine::Fire_OnUpgradingParcels(IParcels* parcels, VARIANT_BOOL* cancel)
{
    const com::Variant arguments[] = {com::Variant::Dispatch(parcels), com::Variant::BoolRef(cancel)};
    return m_events.InvokeEach(kOnUpgradingParcels, arguments);
}
