#include "parcels/EngineServices.h"

namespace {

IEngineServices* g_services = nullptr;

} // namespace

IEngineServices* EngineServices() noexcept
{
    return g_services;
}

void SetEngineServices(IEngineServices* services) noexcept
{
    g_services = services;
}
