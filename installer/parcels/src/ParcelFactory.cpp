#include "parcels/ParcelFactory.h"

#include <com/ComPtr.h>

#include "kr/trace_log.h"
#include "parcels/AppxParcelHandler.h"
#include "parcels/ExeParcelHandler.h"
#include "parcels/MsiParcelHandler.h"
#include "parcels/KrpParcelHandler.h"
#include "parcels/Parcel.h"
#include "parcels/WebDeployParcelHandler.h"

#define FACTORY_SOURCE TraceSource{L"ParcelFactory", __LINE__}

namespace {

using HandlerMaker = std::unique_ptr<CParcelHandler> (*)(CParcel& parcel);

struct HandlerEntry {
    const wchar_t* element;
    HandlerMaker make;
};

// Searched in this order; each package type's handler registers its maker here.
constexpr HandlerEntry kHandlers[] = {
    {L"Msi", &CMsiParcelHandler::MakePackage},
    {L"Krp", &CKrpParcelHandler::Make},
    {L"Exe", &CExeParcelHandler::Make},
    {L"Msp", &CMsiParcelHandler::MakePatch},
    {L"Appx", &CAppxParcelHandler::Make},
    {L"WebDeploy", &CWebDeployParcelHandler::Make},
};

HandlerMaker FindMaker(const _stringx& elementName)
{
    for (const HandlerEntry& entry : kHandlers) {
        if (elementName == entry.element)
            return entry.make;
    }
    return nullptr;
}

} // namespace

HRESULT MakeParcelForElement(const _stringx& elementName, CParcel** parcel)
{
    if (!parcel)
        return E_POINTER;
    *parcel = nullptr;
    CParcel* made = nullptr;
    HRESULT hr = CParcel::CreateInstance(&made);
    if (FAILED(hr))
        return hr;
    // Released on every road that does not hand it out.
    auto held = com::ComPtr<CParcel>::Adopt(made);
    const HandlerMaker make = FindMaker(elementName);
    if (!make) {
        TraceFormat(FACTORY_SOURCE, L"No parcel handler for parcel element '%s'", elementName.c_str());
        return S_FALSE;
    }
    try {
        held->SetHandler(make(*held.Get()));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    *parcel = held.Detach();
    return S_OK;
}
