#include "suite/ProxySlots.h"

CProxySlots::~CProxySlots()
{
    // Each handler sends quit and waits for its process as it goes.
    elevatedX64.reset();
    x64.reset();
    appxHelper.reset();
    elevated.reset();
    nonElevated.reset();
}
