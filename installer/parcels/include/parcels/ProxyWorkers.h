#pragma once

// The objects that do the work of the long proxy requests once the server
// has read, checked and accepted them: the embedded MSI handler, the
// Add/Remove Programs registrar, the script-project runner, the certificate
// import, the script engine and the extension object handed to foreign
// entries. Until each exists its operation answers E_NOTIMPL.

#include <windows.h>
#include <oaidl.h>

#include "kr/stringx.h"
#include "parcels/PipeRecords.h"

class CProxyHandler;

struct MsiInstallRequest {
    _stringx package;
    MsiCommandData command;
    DWORD operation = 0;
    DWORD ui_kind = 0;
    bool configure = false;
};

class CProxyWorkers {
public:
    virtual ~CProxyWorkers() = default;

    // Runs after the acceptance reply; call-backs go to the pipe.
    virtual DWORD InstallMsi(CProxyHandler&, const MsiInstallRequest&) { return E_NOTIMPL; }
    virtual DWORD RegisterArp(const ArpRecord&) { return E_NOTIMPL; }
    virtual DWORD ImportCertificate(const _stringx&) { return E_NOTIMPL; }
    // The extension object handed to foreign entries, with one reference for the caller.
    virtual HRESULT CreateExtension(CProxyHandler&, bool /*parcel*/, IDispatch** extension)
    {
        *extension = nullptr;
        return E_NOTIMPL;
    }
    // Runs after the acceptance reply.
    virtual HRESULT RunKrpSetup(CProxyHandler&, const _stringx& /*engine_dll*/, const _stringx& /*setup_path*/,
                                const _stringx& /*command_line*/, IDispatch* /*extension*/)
    {
        return E_NOTIMPL;
    }
    // Runs after the acceptance reply, with the script engine loaded.
    virtual HRESULT RunQuillex(CProxyHandler&, HMODULE /*engine*/, const _stringx& /*folder*/,
                               const QuillexCallData&, IDispatch* /*extension*/)
    {
        return E_NOTIMPL;
    }
};
