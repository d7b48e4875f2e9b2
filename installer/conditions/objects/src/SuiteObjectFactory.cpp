#include "objects/SuiteObjectFactory.h"

#include <com/Object.h>

#include "FeatureObject.h"
#include "FileObject.h"
#include "ParcelObject.h"
#include "PlatformObject.h"
#include "RegistryObject.h"
#include "ResourceDllObject.h"

namespace {

template <class Object>
HRESULT CreateOwnObject(IDispatch** object)
{
    const HRESULT hr = com::CreateInstance<Object>(nullptr, IID_IDispatch, reinterpret_cast<void**>(object));
    return FAILED(hr) ? E_OUTOFMEMORY : hr;
}

} // namespace

HRESULT CreateNamedSuiteObject(const _stringx& name, const _stringx& stagingFolder, IDispatch** object,
                               HMODULE* module)
{
    if (!object || !module)
        return E_POINTER;
    *object = nullptr;
    *module = nullptr;
    // The launcher's own names match exactly; "platform" is a resource-DLL reference.
    const _wstringx exact(name.c_str(), name.length());
    if (exact == L"Platform")
        return CreateOwnObject<CPlatformObject>(object);
    if (exact == L"File")
        return CreateOwnObject<CFileObject>(object);
    if (exact == L"Registry")
        return CreateOwnObject<CRegistryObject>(object);
    if (exact == L"Parcel")
        return CreateOwnObject<CParcelObject>(object);
    if (exact == L"Feature")
        return CreateOwnObject<CFeatureObject>(object);
    if (exact.starts_with(L":"))
        return E_NOINTERFACE;
    return CreateResourceDllObject(name, stagingFolder, object, module);
}
