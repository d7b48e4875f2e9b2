// The module: identity from the type library beside the DLL at load, the
// class table with its one class, and the four exports.
#include "DravioInterface.h"
#include "DriverSelection.h"
#include "ServerIdentity.h"

#include <com/ClassFactory.h>
#include <com/TypeLibraryRegistration.h>

namespace {

const com::ServerClass kObjectMap[] = {
    {&CLSID_DravioInterfaceInt, &com::CreateInstance<CDravioInterface>, &CDravioInterface::UpdateRegistry, nullptr,
     nullptr},
};

com::ServerClassTable &ObjectMap()
{
    static com::ServerClassTable classes(kObjectMap);
    return classes;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void *)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        // Without its type library the server has no identity: refuse to load.
        if (FAILED(AttachServerIdentity(instance))) {
            return FALSE;
        }
        ObjectMap().Init();
        DisableThreadLibraryCalls(instance);
        return TRUE;
    case DLL_PROCESS_DETACH:
        ObjectMap().Term();
        CDravioInterface::TypeInfo().Clear();
        DetachServerIdentity();
        return TRUE;
    default:
        return TRUE;
    }
}

STDAPI DllCanUnloadNow()
{
    return com::ThisModule().CanUnloadNow();
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void **out)
{
    SelectDriver();
    return ObjectMap().GetClassObject(clsid, iid, out);
}

STDAPI DllRegisterServer()
{
    HRESULT hr = ObjectMap().RegisterClasses();
    if (SUCCEEDED(hr)) {
        hr = com::RegisterModuleTypeLibrary(com::ThisModule().Instance());
    }
    return hr;
}

STDAPI DllUnregisterServer()
{
    HRESULT hr = ObjectMap().UnregisterClasses();
    if (SUCCEEDED(hr)) {
        hr = com::UnregisterModuleTypeLibrary(com::ThisModule().Instance());
    }
    return hr;
}
