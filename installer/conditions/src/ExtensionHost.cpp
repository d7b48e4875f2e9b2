#include "conditions/ExtensionHost.h"

namespace {

IExtensionHost* g_host = nullptr;

} // namespace

IExtensionHost* ExtensionHost() noexcept
{
    return g_host;
}

void SetExtensionHost(IExtensionHost* host) noexcept
{
    g_host = host;
}
