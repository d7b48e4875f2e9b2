#pragma once

// What a transaction reaches of the engine beside its services: the proxy
// that runs parcels needing elevation or 64-bit Windows, and the suite
// model's record of the proxy holding the open out-of-process transaction.
// The engine registers itself when it is constructed; without one every
// transaction runs in this process.

#include "parcels/ProxyConnection.h"

class ITransactionHost {
public:
    // The proxy for that combination, started on first need; null when none can be had.
    virtual IProxyConnection* GetProxyHandler(bool elevated, bool is64Bit) = 0;
    // Null clears the record.
    virtual void SetTransactionProxy(IProxyConnection* proxy) = 0;
    // The proxy holding the open out-of-process transaction; null when none.
    virtual IProxyConnection* TransactionProxy() const noexcept = 0;

protected:
    ~ITransactionHost() = default;
};

ITransactionHost* TransactionHost() noexcept;
void SetTransactionHost(ITransactionHost* host) noexcept;
