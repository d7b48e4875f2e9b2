#pragma once

// The proxy's own work objects for the long requests: each override below
// replaces the base's refusal once its object exists.

#include "parcels/ProxyWorkers.h"

class CMachineWorkers : public CProxyWorkers {
public:
    // Windows Installer packages (request 2).
    DWORD InstallMsi(CProxyHandler& pipe, const MsiInstallRequest& request) override;

    // Add/Remove Programs entry (request 8).
    DWORD RegisterArp(const ArpRecord& record) override;

    // Extension objects for foreign entries and the certificate import (requests 9, 11, 12, 13, 16).
    HRESULT CreateExtension(CProxyHandler& pipe, bool parcel, IDispatch** extension) override;
    DWORD ImportCertificate(const _stringx& path) override;

    // Script projects (request 10).
    HRESULT RunKrpSetup(CProxyHandler& pipe, const _stringx& engine_dll, const _stringx& setup_path,
                        const _stringx& command_line, IDispatch* extension) override;

    // Script engine (request 14).
    HRESULT RunQuillex(CProxyHandler& pipe, HMODULE engine, const _stringx& folder, const QuillexCallData& call,
                       IDispatch* extension) override;
};
