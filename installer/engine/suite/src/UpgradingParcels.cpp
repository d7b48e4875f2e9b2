// Upgrade confirmation: parcels whose install would upgrade an installed
// product are collected during detection and shown to the user interface once,
// before staging.

#include "suite/SetupEngine.h"

#include "kr/holders.h"
#include "kr/trace_log.h"

#define ENGINE_TRACE(...) TraceFormat({L"SetupEngine", __LINE__}, __VA_ARGS__)

namespace {

constexpr HRESULT kUserExit = static_cast<HRESULT>(0x80070642);

_stringx IdOf(IParcel& parcel)
{
    kr::bstr_holder id;
    if (FAILED(parcel.get_ID(id.address())) || !id.get())
        return _stringx();
    return _stringx(id.get(), SysStringLen(id.get()));
}

} // namespace

void CSetupEngine::AddUpgradingParcel(IParcel* parcel)
{
    if (!parcel || m_installMode == eimAdmin)
        return;
    m_upgradingParcels[IdOf(*parcel)] = com::ComPtr<IParcel>(parcel);
}

HRESULT CSetupEngine::NotifyUIForUpgradingParcels()
{
    if (m_upgradingParcels.empty())
        return S_OK;
    ENGINE_TRACE(L"Engine: notifying UI for any parcels that require upgrade confirmation");
    com::ComPtr<com::Object<CParcelCollection>> collection;
    HRESULT hr = com::MakeObject(collection);
    if (FAILED(hr)) {
        ENGINE_TRACE(L"NotifyUIForUpgradingParcels: failed to create parcel collection, error %x", hr);
        return S_OK;
    }
    for (const auto& [id, parcel] : m_upgradingParcels) {
        EnumParcelInstallState state = episNoAction;
        if (SUCCEEDED(parcel->get_ActionState(&state)) && state != episNoAction)
            collection->Add(id, parcel.Get());
    }
    if (collection->Size() == 0) {
        ENGINE_TRACE(L"Engine: upgrade notification has no parcels installing, skipping notify");
        return S_OK;
    }
    com::ComPtr<IParcels> parcels;
    collection->QueryInterface(IID_IParcels, parcels.PutVoid());
    Fire_OnUpgradingParcels(parcels.Get(), &m_uiAnswer);
    m_upgradingParcels.clear();
    if (m_uiAnswer == VARIANT_TRUE) {
        ENGINE_TRACE(L"Setup was canceled during upgrade check");
        return kUserExit;
    }
    for (size_t position = 0; position < collection->Size(); ++position) {
        IParcel* item = collection->ItemAt(position);
        for (const auto& parcel : m_model->parcels) {
            if (static_cast<IParcel*>(parcel.Get()) == item && parcel->Handler())
                parcel->Handler()->Mark(true);
        }
    }
    return S_OK;
}
