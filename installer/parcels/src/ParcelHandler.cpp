#include "parcels/ParcelHandler.h"

CParcelHandler::~CParcelHandler() = default;

bool CParcelHandler::Is64Bit()
{
    return false;
}

HRESULT CParcelHandler::Detect(EnumParcelInstallState*, bool)
{
    return 1;
}

HRESULT CParcelHandler::GetFeatureState(const _stringx&, int*)
{
    return 1;
}

void CParcelHandler::Mark(bool) {}

HRESULT CParcelHandler::Reserved()
{
    return E_NOTIMPL;
}
