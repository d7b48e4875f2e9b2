#include "parcels/TransactionHost.h"

namespace {

ITransactionHost* g_host = nullptr;

} // namespace

ITransactionHost* TransactionHost() noexcept
{
    return g_host;
}

void SetTransactionHost(ITransactionHost* host) noexcept
{
    g_host = host;
}
