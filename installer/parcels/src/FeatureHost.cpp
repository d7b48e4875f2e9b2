#include "parcels/FeatureHost.h"

namespace {

IFeatureHost* g_host = nullptr;

} // namespace

IFeatureHost* FeatureHost() noexcept
{
    return g_host;
}

void SetFeatureHost(IFeatureHost* host) noexcept
{
    g_host = host;
}
