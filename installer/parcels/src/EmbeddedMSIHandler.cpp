#include "parcels/EmbeddedMSIHandler.h"

#include <new>
#include <vector>

#include "parcels/NamedPipeHandler.h"
#include "parcels/PipeRecords.h"
#include "parcels/ProxyWorkers.h"

namespace {

constexpr HRESULT kNoPipe = ERROR_PIPE_NOT_CONNECTED; // 233
constexpr UINT kFunctionNotCalled = ERROR_FUNCTION_NOT_CALLED; // 1626

HRESULT FromStatus(LONG status)
{
    return status > 0 ? HRESULT_FROM_WIN32(static_cast<DWORD>(status)) : status;
}

} // namespace

UINT CEmbeddedMSIHandler::RunElevated(const _stringx&, const _stringx&, int, int, bool, const _stringx&, DWORD)
{
    return kFunctionNotCalled;
}

HRESULT CEmbeddedMSIHandler::Exchange(DWORD code, DWORD flags, DWORD progressFlags, int current, int maximum,
                                      const _stringx& text, DWORD* cancel, DWORD* action)
{
    if (!m_pipe)
        return kNoPipe;
    std::vector<BYTE> callback;
    try {
        callback = WriteMsiUiCallback(
            {code, flags, progressFlags, static_cast<DWORD>(current), static_cast<DWORD>(maximum), text});
    } catch (const std::bad_alloc&) {
        return ERROR_OUTOFMEMORY;
    }
    if (const DWORD error = m_pipe->WriteMessage(kPipeCallback, callback.data(), static_cast<DWORD>(callback.size())))
        return HRESULT_FROM_WIN32(error);
    // No readable answer leaves msi.dll's defaults: the install goes on.
    CallbackAnswer answer;
    if (m_pipe->ReadMessage() != 0 || !m_pipe->HasPayload() || !ReadCallbackAnswer(m_pipe->Payload(), answer))
        return S_OK;
    if (cancel)
        *cancel = answer.cancel;
    if (action)
        *action = answer.action;
    return FromStatus(answer.status);
}

HRESULT CEmbeddedMSIHandler::OnError(const _stringx& message, int errorFlags, int* action)
{
    DWORD chosen = action ? static_cast<DWORD>(*action) : 0;
    const HRESULT result = Exchange(1, static_cast<DWORD>(errorFlags), 0, 0, 0, message, nullptr, &chosen);
    if (action)
        *action = static_cast<int>(chosen);
    return result;
}

HRESULT CEmbeddedMSIHandler::OnProgress(const _stringx& message, int current, int maximum, int flags,
                                        VARIANT_BOOL* cancel)
{
    DWORD cancelled = cancel ? static_cast<DWORD>(static_cast<USHORT>(*cancel)) : 0;
    const HRESULT result = Exchange(2, 0, static_cast<DWORD>(flags), current, maximum, message, &cancelled, nullptr);
    if (cancel)
        *cancel = static_cast<VARIANT_BOOL>(static_cast<USHORT>(cancelled & 0xFFFF));
    return result;
}

HRESULT CEmbeddedMSIHandler::OnFilesInUse(const _stringx& message, int* action, short restartManager)
{
    DWORD chosen = action ? static_cast<DWORD>(*action) : 0;
    const HRESULT result =
        Exchange(4, static_cast<USHORT>(restartManager), 0, 0, 0, message, nullptr, &chosen);
    if (action)
        *action = static_cast<int>(chosen);
    return result;
}

DWORD RunEmbeddedMsiInstall(CNamedPipeHandler& pipe, const MsiInstallRequest& request, const MsiFunctions& msi)
{
    CEmbeddedMSIHandler handler(&pipe);
    handler.SetMsiFunctions(msi);
    // The request's configure flag is the engine's patch bit.
    return handler.Install(request.package, request.command.command_line, static_cast<int>(request.operation),
                           static_cast<int>(request.ui_kind), request.configure, request.command.log_path,
                           request.command.log_mode);
}
