#pragma once

// The proxy process's server: it connects to the engine's pipe and answers
// the engine's messages until quit. Each request code has one handler; every
// record a handler takes from the message is checked before anything runs,
// and a request that does not fit its message is answered 87.

#include <windows.h>

#include <array>
#include <memory>
#include <vector>

#include "kr/stringx.h"
#include "parcels/MsiTransactionRecord.h"
#include "parcels/PipeRecords.h"
#include "parcels/ProxyHandler.h"
#include "parcels/ProxySystem.h"
#include "parcels/ProxyWorkers.h"

class CProxyServer {
public:
    // The machine and the work objects as they are.
    CProxyServer();
    // Tests hand in recorders; both must outlive the server.
    CProxyServer(CProxySystem& system, CProxyWorkers& workers);
    ~CProxyServer();
    CProxyServer(const CProxyServer&) = delete;
    CProxyServer& operator=(const CProxyServer&) = delete;

    // Connects to the pipe "\\.\pipe\KREngine_<id>" given whole.
    void Init(const _stringx& pipe_name);
    // Answers the message the pipe handler read last: 87 without a pipe, else 0.
    DWORD DispatchMessage();
    // The same for a message given as its type and payload.
    DWORD Dispatch(DWORD type, PipeBytes payload);

    CNamedPipeHandler* PipeHandler() const noexcept { return handler_.get(); }
    bool QuitRequested() const noexcept { return quit_; }
    DWORD Status() const noexcept { return status_; }
    void SetStatus(DWORD status) noexcept { status_ = status; }
    // The open transaction's record, null when none.
    const CMsiTransactionRecord* Transaction() const noexcept { return transaction_.get(); }

private:
    using Reply = std::vector<BYTE>;
    using Handler = DWORD (CProxyServer::*)(const ProxyRequestView&, Reply&);

    DWORD LaunchProcess(const ProxyRequestView& request, Reply& reply);
    DWORD InstallMsi(const ProxyRequestView& request, Reply& reply);
    DWORD BeginTransaction(const ProxyRequestView& request, Reply& reply);
    DWORD EndTransaction(const ProxyRequestView& request, Reply& reply);
    DWORD JoinTransaction(const ProxyRequestView& request, Reply& reply);
    DWORD TransactionHandle(const ProxyRequestView& request, Reply& reply);
    DWORD ProgramFilesFolder(const ProxyRequestView& request, Reply& reply);
    DWORD RegisterArp(const ProxyRequestView& request, Reply& reply);
    DWORD SuiteExtensionCall(const ProxyRequestView& request, Reply& reply);
    DWORD RunKrpSetup(const ProxyRequestView& request, Reply& reply);
    DWORD AppxRequest(const ProxyRequestView& request, Reply& reply);
    DWORD CallExtension(const ProxyRequestView& request, Reply& reply);
    DWORD CallQuillex(const ProxyRequestView& request, Reply& reply);
    DWORD LaunchElevatedExe(const ProxyRequestView& request, Reply& reply);
    DWORD WebDeploy(const ProxyRequestView& request, Reply& reply);
    DWORD RegistryRequest(const ProxyRequestView& request, Reply& reply);

    DWORD Launch(const _stringx& program, const _stringx& arguments, bool wait);
    void Accept();
    void Callback(DWORD code, DWORD zero_bytes);

    CProxySystem& system_;
    CProxyWorkers& workers_;
    std::unique_ptr<CProxyHandler> handler_;
    DWORD status_ = 0;
    bool quit_ = false;
    std::unique_ptr<CMsiTransactionRecord> transaction_;
    std::array<Handler, 18> table_ = {};
};
