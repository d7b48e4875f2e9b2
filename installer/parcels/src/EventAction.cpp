#include "parcels/EventAction.h"

// The suite's event actions register their maker here.
std::unique_ptr<IEventAction> MakeEventAction(const _stringx&)
{
    return nullptr;
}
