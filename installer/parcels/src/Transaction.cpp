#include "parcels/Transaction.h"

#include "kr/trace_log.h"
#include "parcels/EngineServices.h"
#include "parcels/MsiTransactionRecord.h"
#include "parcels/Parcel.h"
#include "parcels/ProxyConnection.h"
#include "parcels/TransactionHost.h"

#define TRANSACTION_SOURCE TraceSource{L"Transaction", __LINE__}

namespace {

constexpr DWORD kBeginTransaction = 3;
constexpr DWORD kEndTransaction = 4;

const wchar_t* YesNo(bool value)
{
    return value ? L"yes" : L"no";
}

bool IsElevated()
{
    IEngineServices* engine = EngineServices();
    return engine && engine->IsElevated();
}

// A proxy's status is a Win32 error or already an HRESULT.
HRESULT FromProxyStatus(DWORD status)
{
    if (static_cast<LONG>(status) > 0)
        return static_cast<HRESULT>(0x80070000 | (status & 0xFFFF));
    return static_cast<HRESULT>(status);
}

DWORD SendTransactionRequest(IProxyConnection& proxy, DWORD code, DWORD value)
{
    return proxy.SendRequest(code, value, nullptr, 0, nullptr, 0);
}

void ClearTransactionProxy()
{
    if (ITransactionHost* host = TransactionHost())
        host->SetTransactionProxy(nullptr);
}

} // namespace

void CTransaction::Examine()
{
    const bool elevated = IsElevated();
    for (CParcel* parcel : m_parcels) {
        // A shared parcel may have clients to write even when it does nothing.
        if (parcel->GetActionState() != episNoAction || parcel->IsShared())
            m_installing = true;
        if (parcel->IsElevationRequired() && !elevated)
            m_needsElevation = true;
        if (parcel->Handler() && parcel->Handler()->Is64Bit())
            m_any64Bit = true;
    }
    TraceFormat(TRANSACTION_SOURCE, L"Transaction: parcels installing: %s, need elevation: %s, any 64-bit: %s",
                YesNo(m_installing), YesNo(m_needsElevation), YesNo(m_any64Bit));
}

bool CTransaction::NeedsElevation() const
{
    if (IsElevated())
        return false;
    for (const CParcel* parcel : m_parcels) {
        if (parcel->GetActionState() != episNoAction && parcel->IsElevationRequired())
            return true;
    }
    return false;
}

HRESULT CTransaction::Run()
{
    return Run(SystemMsiFunctions());
}

HRESULT CTransaction::Run(const MsiFunctions& msi)
{
    Examine();
    if (!m_installing)
        return S_FALSE;
    if (m_needsElevation || m_any64Bit) {
        ITransactionHost* host = TransactionHost();
        if (IProxyConnection* proxy = host ? host->GetProxyHandler(m_needsElevation, m_any64Bit) : nullptr)
            return RunOutOfProcess(*proxy);
    }
    return RunInProcess(msi);
}

HRESULT CTransaction::RunOutOfProcess(IProxyConnection& proxy)
{
    TraceFormat(TRANSACTION_SOURCE, L"Running with out-proc transaction, starting transaction (if supported)");
    ITransactionHost* host = TransactionHost();
    host->SetTransactionProxy(&proxy);
    const DWORD begun = SendTransactionRequest(proxy, kBeginTransaction, m_msiTransaction ? 1 : 0);
    if (begun != 0) {
        // Nothing is open in the proxy: no handler may join it.
        host->SetTransactionProxy(nullptr);
        return FromProxyStatus(begun);
    }

    bool failed = false;
    HRESULT status = S_OK;
    try {
        status = RunParcels(S_OK, failed);
    } catch (...) {
        TraceFormat(TRANSACTION_SOURCE, L"Transaction: parcel run ended by an exception, rolling back transaction");
        ClearTransactionProxy();
        SendTransactionRequest(proxy, kEndTransaction, 0);
        throw;
    }

    ClearTransactionProxy();
    const DWORD ended = SendTransactionRequest(proxy, kEndTransaction, failed ? 0 : 1);
    TraceFormat(TRANSACTION_SOURCE, L"End proxy transaction result: %x", FromProxyStatus(ended));
    return status;
}

HRESULT CTransaction::RunInProcess(const MsiFunctions& msi)
{
    TraceFormat(TRANSACTION_SOURCE, L"Running with current process transaction, starting transaction (if supported)");
    CMsiTransactionRecord record(msi, m_msiTransaction);
    record.CheckSupport();
    const HRESULT begun = record.Begin();
    if (FAILED(begun))
        return begun;

    bool failed = false;
    HRESULT status = begun;
    try {
        status = RunParcels(begun, failed);
    } catch (...) {
        TraceFormat(TRANSACTION_SOURCE, L"Transaction: parcel run ended by an exception, rolling back transaction");
        record.End(false);
        throw;
    }

    HRESULT ended = 1;
    if (record.UsesMsiTransaction() && record.Begun())
        ended = record.End(!failed);
    TraceFormat(TRANSACTION_SOURCE, L"End transaction result: %x", ended);
    return status;
}

HRESULT CTransaction::RunParcels(HRESULT status, bool& failed)
{
    TraceFormat(TRANSACTION_SOURCE, L"Running transaction parcels");
    for (CParcel* parcel : m_parcels) {
        bool ran = false;
        if (parcel->GetActionState() == episNoAction) {
            TraceFormat(TRANSACTION_SOURCE, L"Skipping parcel with no action");
        } else {
            status = parcel->Run();
            ran = true;
        }
        if (SUCCEEDED(status))
            parcel->WriteClients();
        if (ran && FAILED(status)) {
            TraceFormat(TRANSACTION_SOURCE, L"Transaction: parcel returned error status %x", status);
            failed = true;
            break;
        }
    }
    TraceFormat(TRANSACTION_SOURCE, L"Transaction: finished running parcels, will %s transaction",
                failed ? L"roll back" : L"commit");
    return status;
}
