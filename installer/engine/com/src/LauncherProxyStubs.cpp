// The launcher's marshalling set: the dispatch interfaces of its type library,
// served by the marshalling code widl writes for it.
#include "automation/ProxyStubRegistration.h"

#include "automation/Interfaces.h"

#include "ProxyStubClassObject.h"

namespace {

const IID* const kInterfaces[] = {
    &IID_IBootstrap, &IID_IBootstrap2, &IID_ISuiteExtension, &IID_ISuiteExtension2,
    &IID_IParcels,   &IID_IParcel,     &IID_IParcel2,        &IID_IFeatures,
    &IID_IFeature,   &IID_IBootstrapError, &IID__IBootstrapEvents, &IID__IParcelEvents,
};

} // namespace

const proxy_stub_set& LauncherProxyStubs()
{
    static const proxy_stub_set set = {TessarelProxyStubClassObject, kInterfaces,
                                       sizeof(kInterfaces) / sizeof(kInterfaces[0])};
    return set;
}
