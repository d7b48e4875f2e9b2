#pragma once

// The handler of a "Krp" parcel: a product set up by the suite's own script
// engine. It finds the setup (in the package on a first install, in the
// product's disk1 folder for maintenance), builds the command line, and runs
// the script engine's setup entry in this process or through the elevated
// proxy (request 10), passing the setup's progress, errors and source-media
// questions on to the parcel's events.

#include <memory>
#include <vector>

#include <objidl.h>

#include <com/ComPtr.h>

#include "parcels/KrpProxyUIHandler.h"
#include "parcels/ParcelHandler.h"
#include "parcels/PipeRecords.h"
#include "parcels/ProxyHandler.h"
#include "parcels/ProxySuiteExtension.h"
#include "parcels/RebootHandler.h"

class CKrpParcelHandler : public CParcelHandler, public CRebootHandler, public CKrpProxyUIHandler {
public:
    explicit CKrpParcelHandler(CParcel& parcel) noexcept : CParcelHandler(parcel) {}
    ~CKrpParcelHandler() override;

    static std::unique_ptr<CParcelHandler> Make(CParcel& parcel);

    bool SupportsTransaction() override { return false; }
    HRESULT Run() override;
    EnumParcelType GetType() override { return eptScript; }
    bool IsRebootStatus() override;
    HRESULT Detect(EnumParcelInstallState* state, bool shared) override;
    // state: 1 when the feature is installed, else 0.
    HRESULT GetFeatureState(const _stringx& feature, int* state) override;

    void GetRebootCodes(std::vector<DWORD>& codes) override;

    _stringx BuildFeatureSwitches(EnumInstallMode mode, int operationKind, const _stringx& commandLine);
    HRESULT LocateDisk1Folder(_stringx& folder);

    using CKrpProxyUIHandler::OnError;
    using CKrpProxyUIHandler::OnProgress;
    using CKrpProxyUIHandler::OnQuery;
    HRESULT RunElevated(const _stringx& engineDll, const _stringx& target, const _stringx& commandLine) override;
    HRESULT OnError(const _stringx& text, int errorFlags, int* action) override;
    HRESULT OnProgress(const _stringx& text, int current, int maximum, int flags, VARIANT_BOOL* cancel) override;
    HRESULT OnQuery(const _stringx& sourceFile, int queryKind, _stringx& answer, int* answerKind) override;

    // The engine's answers to the proxy's call-backs during request 10.
    DWORD AnswerError(CProxyHandler& pipe, const KrpProgressCallback& callback);
    DWORD AnswerProgress(CProxyHandler& pipe, const KrpProgressCallback& callback);
    DWORD AnswerQuery(CProxyHandler& pipe, const KrpProgressCallback& callback);

private:
    HRESULT RunInProcess(const _stringx& engineDll, const _stringx& target, const _stringx& commandLine);
    // The parcel as the script engine's thread may use it; none when it cannot be had.
    IParcel2* CallbackParcel();
    void ReleaseMarshalledParcel();

    com::ComPtr<com::Object<CProxySuiteExtension>> m_extension;
    bool m_inProcess = false;
    com::ComPtr<IStream> m_marshalledParcel;
    com::ComPtr<IParcel2> m_unmarshalledParcel;
};

// The parcel's IParcel2 marshalled into a stream for another thread of the process.
HRESULT MarshalParcel(IParcel2* parcel, IStream** stream);
HRESULT UnmarshalParcel(IStream* stream, IParcel2** parcel);
