#include "parcels/EmbeddedProxySuiteExtension.h"
#include "parcels/MachineWorkers.h"
#include "parcels/TrustedPeopleCertificate.h"

HRESULT CMachineWorkers::CreateExtension(CProxyHandler& pipe, bool parcel, IDispatch** extension)
{
    *extension = nullptr;
    com::ComPtr<com::Object<CEmbeddedProxySuiteExtension>> created;
    if (const HRESULT hr = CEmbeddedProxySuiteExtension::CreateInstance(created); FAILED(hr))
        return hr;
    created->SetPipe(&pipe);
    created->SetParcelOffered(parcel);
    *extension = static_cast<ISuiteExtension2*>(created.Detach());
    return S_OK;
}

DWORD CMachineWorkers::ImportCertificate(const _stringx& path)
{
    return ImportTrustedPeopleCertificate(path);
}
