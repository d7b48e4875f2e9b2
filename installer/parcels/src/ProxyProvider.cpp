#include "parcels/ProxyProvider.h"

namespace {

IProxyProvider* g_provider = nullptr;

} // namespace

IProxyProvider* ProxyProvider() noexcept
{
    return g_provider;
}

void SetProxyProvider(IProxyProvider* provider) noexcept
{
    g_provider = provider;
}
