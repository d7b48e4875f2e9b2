// The events of the interface: the internal codes the worker and the
// notifier raise, and the proxy that fires them to the connected sinks.
#pragma once

#include <com/ConnectionPoint.h>

// Internal event codes.
constexpr int kEventReadDataAvailable = 1;
constexpr int kEventWriteStatusAvailable = 2;
constexpr int kEventWriteBufferAvailable = 3;
constexpr int kEventDeviceArrival = 4;
constexpr int kEventDeviceRemoval = 5;

// Dispatch identifiers of _IDravioInterfaceEvents.
constexpr DISPID DISPID_ReadDataAvailable = 1;
constexpr DISPID DISPID_WriteBufferAvailable = 2;
constexpr DISPID DISPID_WriteStatusAvailable = 3;
constexpr DISPID DISPID_DeviceArrival = 4;
constexpr DISPID DISPID_DeviceRemoval = 5;

// The callback through which the worker and the notifier raise an event on their owner.
using DravioEventCallback = void (*)(void *context, int code);

// The dispatch identifier an internal code fires; 0 for codes that fire nothing.
DISPID EventDispidOf(int code);

class CProxy_IDravioInterfaceEvents {
public:
    explicit CProxy_IDravioInterfaceEvents(com::ConnectionPoint &point) : point_(point) {}

    // Calls every connected sink with the source object as the one argument;
    // the argument holds a reference on the source for the whole round.
    void Fire(DISPID id, IDispatch *source);

private:
    com::ConnectionPoint &point_;
};
