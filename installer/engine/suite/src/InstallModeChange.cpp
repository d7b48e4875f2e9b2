// The user interface's install-mode change: only a suite that started in
// maintenance selection may change its mode.

#include "suite/SetupEngine.h"

#include <optional>

#include "kr/bootstrap_exception.h"
#include "kr/com_exception.h"
#include "kr/trace_log.h"

#define ENGINE_TRACE(...) TraceFormat({L"SetupEngine", __LINE__}, __VA_ARGS__)

namespace {

constexpr HRESULT kNotSupported = static_cast<HRESULT>(0x80070032);

// The install mode at the process's first change request.
std::optional<EnumInstallMode>& InitialInstallMode() noexcept
{
    static std::optional<EnumInstallMode> mode;
    return mode;
}

} // namespace

void CSetupEngine::ForgetInitialInstallMode() noexcept
{
    InitialInstallMode().reset();
}

STDMETHODIMP CSetupEngine::put_InstallMode(EnumInstallMode mode)
{
    auto& initial = InitialInstallMode();
    if (!initial)
        initial = m_installMode;
    ENGINE_TRACE(L"Engine: changing install mode from %d to %d", *initial, mode);
    if (*initial != eimUIMaintSelection) {
        ENGINE_TRACE(L"Engine: ***warning: attempt to change install mode not allowed");
        return kNotSupported;
    }
    try {
        m_installMode = mode;
        _stringx number;
        number.format(L"%d", static_cast<int>(mode));
        m_savedState.SaveValue(L"Properties", L"InstallMode", number);
        SetProperty(L"KRInstallMode", number, false);
        DetermineParcelActionStates();
        if (mode == eimRemove || mode == eimRepair) {
            for (CFeature* feature : m_model->topLevelFeatures)
                ModelEntry(feature).SetDefaultActionState(mode);
        }
    } catch (const bootstrap_exception& failure) {
        return failure.hresult();
    } catch (const com_exception& failure) {
        return failure.hresult();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void CSetupEngine::DetermineParcelActionStates()
{
    ENGINE_TRACE(L"Engine: determining action states for all parcels");
    for (const auto& transaction : m_model->transactions) {
        for (CParcel* parcel : ModelEntry(transaction).Parcels()) {
            if (FAILED(ModelEntry(parcel).Evaluate(m_installMode)))
                break;
        }
    }
}
