#include "staging/StagingHost.h"

namespace {

IStagingHost* g_host = nullptr;

} // namespace

IStagingHost* StagingHost() noexcept
{
    return g_host;
}

void SetStagingHost(IStagingHost* host) noexcept
{
    g_host = host;
}
