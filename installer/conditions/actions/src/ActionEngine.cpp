#include "actions/ActionEngine.h"

#include "parcels/EngineServices.h"

IActionEngine* ActionEngine() noexcept
{
    // The one engine of the process serves parcels and actions alike.
    return dynamic_cast<IActionEngine*>(EngineServices());
}
