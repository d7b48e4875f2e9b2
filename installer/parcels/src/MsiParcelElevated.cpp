// The engine's side of request 2: the package runs in the proxy that holds
// the parcel's transaction, and msi.dll's messages come back as call-backs
// that the parcel's events answer.

#include "parcels/MsiParcelHandler.h"

#include <new>
#include <vector>

#include "kr/trace_log.h"
#include "parcels/NamedPipeHandler.h"
#include "parcels/PipeRecords.h"
#include "parcels/ProxyConnection.h"
#include "parcels/TransactionHost.h"

#define MSI_ELEVATED_SOURCE TraceSource{L"MsiParcelHandler", __LINE__}

namespace {

constexpr DWORD kInstallMsi = 2;
constexpr UINT kNoProxy = ERROR_PIPE_NOT_CONNECTED; // 233
constexpr DWORD kCallbackError = 1;
constexpr DWORD kCallbackProgress = 2;
constexpr DWORD kCallbackComplete = 3;
constexpr DWORD kCallbackFilesInUse = 4;

} // namespace

UINT CMsiParcelHandler::RunElevated(const _stringx& target, const _stringx& commandLine, int kind, int uiType,
                                    bool patch, const _stringx& logFile, DWORD logMode)
{
    TraceFormat(MSI_ELEVATED_SOURCE, L"MSI parcel operation requires elevation");
    ITransactionHost* host = TransactionHost();
    IProxyConnection* proxy = host ? host->TransactionProxy() : nullptr;
    CNamedPipeHandler* pipe = proxy ? proxy->Channel() : nullptr;
    if (!pipe) {
        TraceFormat(MSI_ELEVATED_SOURCE, L"Failed to obtain proxy handler for elevated MSI parcel operation");
        return kNoProxy;
    }

    const DWORD value = (patch ? 1u : 0u) | (static_cast<DWORD>(kind) << 1) | (static_cast<DWORD>(uiType) << 17);
    std::vector<BYTE> command;
    try {
        command = WriteMsiCommandData({logMode, commandLine, logFile});
    } catch (const std::bad_alloc&) {
        TraceFormat(MSI_ELEVATED_SOURCE, L"Failed to allocate MSI command data");
        return ERROR_OUTOFMEMORY;
    }
    if (const DWORD sent = proxy->SendRequest(kInstallMsi, value, target.c_str(),
                                              static_cast<DWORD>(target.size() * sizeof(wchar_t)), command.data(),
                                              static_cast<DWORD>(command.size())))
        return sent;

    for (;;) {
        if (const DWORD error = pipe->ReadMessage())
            return error;
        if (!pipe->HasPayload() || pipe->Payload().empty())
            return kNoProxy;
        if (pipe->Type() != kPipeCallback)
            continue;
        DWORD code = 0;
        if (!ReadWord(pipe->Payload(), code))
            return kNoProxy;
        if (code == kCallbackComplete) {
            // The result follows; without one nothing says the package ran.
            DWORD result = 0;
            if (pipe->ReadMessage() != 0 || !pipe->HasPayload() || !ReadWord(pipe->Payload(), result))
                return kNoProxy;
            return result;
        }
        if (code != kCallbackError && code != kCallbackProgress && code != kCallbackFilesInUse)
            continue;
        MsiUiCallback callback;
        if (!ReadMsiUiCallback(pipe->Payload(), callback))
            return kNoProxy;

        CallbackAnswer answer;
        if (code == kCallbackError) {
            int action = 0;
            answer.status = OnError(callback.text, static_cast<int>(callback.flags), &action);
            answer.action = static_cast<DWORD>(action);
        } else if (code == kCallbackProgress) {
            VARIANT_BOOL cancel = VARIANT_FALSE;
            answer.status = OnProgress(callback.text, static_cast<int>(callback.current),
                                       static_cast<int>(callback.maximum), static_cast<int>(callback.progress_flags),
                                       &cancel);
            answer.cancel = static_cast<DWORD>(static_cast<LONG>(cancel));
        } else {
            int action = 0;
            answer.status = OnFilesInUse(callback.text, &action, static_cast<short>(callback.flags & 0xFFFF));
            answer.action = static_cast<DWORD>(action);
        }
        const std::vector<BYTE> reply = WriteCallbackAnswer(answer);
        if (const DWORD error =
                pipe->WriteMessage(kPipeReply | kPipeCallback, reply.data(), static_cast<DWORD>(reply.size())))
            return error;
    }
}
