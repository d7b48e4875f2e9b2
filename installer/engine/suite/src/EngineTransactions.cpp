// The engine as the host of transactions: the proxies that run parcels
// needing elevation or 64-bit Windows, and the record of the proxy holding
// the open out-of-process transaction.

#include "suite/SetupEngine.h"

#include "kr/trace_log.h"

#define ENGINE_TRACE(...) TraceFormat({L"SetupEngine", __LINE__}, __VA_ARGS__)

// No proxy process can be started yet: every transaction runs in this
// process, and one that needs elevation the engine lacks cannot run.
IProxyConnection* CSetupEngine::GetProxyHandler(bool elevated, bool is64Bit)
{
    ENGINE_TRACE(L"Engine: no proxy available (elevated: %d, 64-bit: %d)", elevated ? 1 : 0, is64Bit ? 1 : 0);
    return nullptr;
}
