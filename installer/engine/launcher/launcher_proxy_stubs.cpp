// The launcher's marshalling set: the dispatch interfaces of its type library,
// served by the marshalling code widl writes for it.
#include "proxy_stub_registration.h"

extern "C" {
extern const IID IID_IBootstrap;
extern const IID IID_IBootstrap2;
extern const IID IID_ISuiteExtension;
extern const IID IID_ISuiteExtension2;
extern const IID IID_IParcels;
extern const IID IID_IParcel;
extern const IID IID_IParcel2;
extern const IID IID_IFeatures;
extern const IID IID_IFeature;
extern const IID IID_IBootstrapError;
extern const IID IID__IBootstrapEvents;
extern const IID IID__IParcelEvents;

// The class object of the type library's marshalling code for one interface.
HRESULT TessarelProxyStubClassObject(const IID* iid, void** object);
}

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
