#include "DravioEvents.h"

DISPID EventDispidOf(int code)
{
    switch (code) {
    case kEventReadDataAvailable:
        return DISPID_ReadDataAvailable;
    case kEventWriteStatusAvailable:
        return DISPID_WriteStatusAvailable;
    case kEventWriteBufferAvailable:
        return DISPID_WriteBufferAvailable;
    case kEventDeviceArrival:
        return DISPID_DeviceArrival;
    case kEventDeviceRemoval:
        return DISPID_DeviceRemoval;
    default:
        return 0;
    }
}

void CProxy_IDravioInterfaceEvents::Fire(DISPID id, IDispatch *source)
{
    const com::Variant arguments[] = {com::Variant::Dispatch(source)};
    point_.InvokeEach(id, arguments);
}
