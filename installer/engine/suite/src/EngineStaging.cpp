// The engine as the host of staging: the setup source folder and stream,
// the staged-file records, the source-media prompt and the staging events.

#include "suite/SetupEngine.h"

#include <com/Bstr.h>
#include <com/Variant.h>

#include "kr/system_info.h"
#include "kr/trace_log.h"
#include "payload/Stream.h"

#define ENGINE_TRACE(...) TraceFormat({L"SetupEngine", __LINE__}, __VA_ARGS__)

namespace {

constexpr DISPID kOnStagingParcel = 4;
constexpr DISPID kOnNonFatalError = 11;
constexpr HRESULT kUserExit = static_cast<HRESULT>(0x80070642);

com::Variant IntRef(int* cell) noexcept
{
    com::Variant v;
    v.Get().vt = VT_I4 | VT_BYREF;
    v.Get().plVal = reinterpret_cast<LONG*>(cell);
    return v;
}

} // namespace

_stringx CSetupEngine::GetSourceFolder()
{
    const _stringx original = m_properties.GetAttribute(L"ORIGINALSETUPEXEDIR");
    return original.empty() ? m_launcherFolder : original;
}

bool CSetupEngine::IsWow64()
{
    return kr::is_wow64();
}

void CSetupEngine::UseSetupStream(const _stringx& programPath)
{
    m_stream = std::make_unique<STREAM>(programPath);
}

HRESULT CSetupEngine::Fire_OnStagingParcel(EnumParcelStagingState state, IParcel* parcel)
{
    const com::Variant arguments[] = {com::Variant::Int32(state), com::Variant::Dispatch(parcel),
                                      com::Variant::BoolRef(&m_uiAnswer)};
    return m_events.InvokeEach(kOnStagingParcel, arguments);
}

HRESULT CSetupEngine::Fire_OnNonFatalError(const _stringx& message, int flags, int* answer)
{
    const com::Variant arguments[] = {com::Variant::String(std::wstring_view(message.c_str(), message.length())),
                                      com::Variant::Int32(flags), IntRef(answer)};
    return m_events.InvokeEach(kOnNonFatalError, arguments);
}

HRESULT CSetupEngine::ResolveParcelSource(const _stringx& parcelId, _stringx& mediaPath)
{
    mediaPath.clear();
    ENGINE_TRACE(L"Engine: parcel staging indicated source parcel not found for parcel '%s', prompting for source",
                 parcelId.c_str());
    CParcel* parcel = FindParcel(parcelId);
    if (!parcel) {
        ENGINE_TRACE(L"Could not get parcel with id '%s' from parcel collection for parcel source resolution",
                     parcelId.c_str());
        return E_FAIL;
    }
    const _stringx target = parcel->GetOperationTarget();
    if (target.empty()) {
        ENGINE_TRACE(L"Resolve parcel source for parcel '%s', parcel operation has no target", parcelId.c_str());
        return E_FAIL;
    }
    ENGINE_TRACE(L"Engine: sending source prompt request to UI");
    com::Bstr source(std::wstring_view(target.c_str(), target.length()));
    com::Bstr answer(std::wstring_view{});
    m_uiAnswer = VARIANT_FALSE;
    const HRESULT hr = Fire_OnPromptForSourceMedia(static_cast<IParcel2*>(parcel), source.Get(), &m_uiAnswer,
                                                   answer.Put());
    if (FAILED(hr)) {
        ENGINE_TRACE(L"Engine: UI prompt for source failed with error %x", hr);
        return hr;
    }
    if (m_uiAnswer == VARIANT_TRUE) {
        ENGINE_TRACE(L"Engine: setup was canceled during prompt for source");
        return kUserExit;
    }
    mediaPath = answer.Get() ? _stringx(answer.Get()) : _stringx();
    ENGINE_TRACE(L"Engine: source location returned by UI: %s", mediaPath.c_str());
    return S_OK;
}
