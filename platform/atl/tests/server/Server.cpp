// Exports of the test server: class objects, unload test and registration.
#include "Counter.h"

#include <com/ClassFactory.h>
#include <com/Registrar.h>
#include <com/TypeLibraryRegistration.h>

#include <objbase.h>

namespace {

const UINT kCounterScript = 101;

HRESULT UpdateCounterRegistry(bool registering)
{
    wchar_t clsid[40] = {};
    wchar_t libid[40] = {};
    StringFromGUID2(CLSID_Counter, clsid, 40);
    StringFromGUID2(LIBID_ComLayerTestLib, libid, 40);
    const com::RegistryReplacement replacements[] = {
        {L"CLSID", clsid},
        {L"LIBID", libid},
        {L"Description", L"Counter's test class"},
    };
    return com::RunRegistryScriptResource(com::ThisModule().Instance(), kCounterScript, replacements, registering);
}

const com::ServerClass kClasses[] = {
    {&CLSID_Counter, &com::CreateInstance<Counter>, &UpdateCounterRegistry, nullptr, nullptr},
};

com::ServerClassTable &Classes()
{
    static com::ServerClassTable classes(kClasses);
    return classes;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void *)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        DisableThreadLibraryCalls(instance);
        Classes().Init();
        break;
    case DLL_PROCESS_DETACH:
        Classes().Term();
        Counter::TypeInfo().Clear();
        break;
    default:
        break;
    }
    return TRUE;
}

STDAPI DllCanUnloadNow()
{
    return com::ThisModule().CanUnloadNow();
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void **out)
{
    return Classes().GetClassObject(clsid, iid, out);
}

STDAPI DllRegisterServer()
{
    HRESULT hr = Classes().RegisterClasses();
    if (SUCCEEDED(hr)) {
        hr = com::RegisterModuleTypeLibrary(com::ThisModule().Instance());
    }
    return hr;
}

STDAPI DllUnregisterServer()
{
    HRESULT hr = Classes().UnregisterClasses();
    if (SUCCEEDED(hr)) {
        hr = com::UnregisterModuleTypeLibrary(com::ThisModule().Instance());
    }
    return hr;
}
