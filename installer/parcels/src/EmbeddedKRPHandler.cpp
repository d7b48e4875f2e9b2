#include "parcels/EmbeddedKRPHandler.h"

#include <new>

#include "parcels/EmbeddedCallback.h"
#include "parcels/PipeRecords.h"

namespace {

constexpr HRESULT kNoPipe = ERROR_PIPE_NOT_CONNECTED;  // 233, as the engine side expects it
constexpr HRESULT kNoMemory = ERROR_OUTOFMEMORY;      // 14
constexpr HRESULT kNotCalled = ERROR_FUNCTION_NOT_CALLED; // 1626

} // namespace

HRESULT CEmbeddedKRPHandler::RunElevated(const _stringx&, const _stringx&, const _stringx&)
{
    return kNotCalled;
}

HRESULT CEmbeddedKRPHandler::OnError(const _stringx& text, int errorFlags, int* action)
{
    if (!m_pipe)
        return kNoPipe;
    std::vector<BYTE> record;
    try {
        KrpProgressCallback callback;
        callback.code = 1;
        callback.words[0] = static_cast<DWORD>(errorFlags);
        callback.text = text;
        record = WriteKrpProgressCallback(callback);
    } catch (const std::bad_alloc&) {
        return kNoMemory;
    }
    const std::optional<CallbackAnswer> answer = ExchangeCallback(*m_pipe, record);
    if (!answer)
        return S_OK;
    if (action)
        *action = static_cast<int>(answer->action);
    return CallbackStatus(answer->status);
}

HRESULT CEmbeddedKRPHandler::OnProgress(const _stringx& text, int current, int maximum, int flags,
                                        VARIANT_BOOL* cancel)
{
    if (!m_pipe)
        return kNoPipe;
    std::vector<BYTE> record;
    try {
        KrpProgressCallback callback;
        callback.code = 2;
        callback.words[0] = static_cast<DWORD>(flags);
        callback.words[1] = static_cast<DWORD>(current);
        callback.words[2] = static_cast<DWORD>(maximum);
        callback.text = text;
        record = WriteKrpProgressCallback(callback);
    } catch (const std::bad_alloc&) {
        return kNoMemory;
    }
    const std::optional<CallbackAnswer> answer = ExchangeCallback(*m_pipe, record);
    if (!answer)
        return S_OK;
    if (cancel)
        *cancel = static_cast<VARIANT_BOOL>(static_cast<WORD>(answer->cancel));
    return CallbackStatus(answer->status);
}

HRESULT CEmbeddedKRPHandler::OnQuery(const _stringx& query, int queryKind, _stringx& answer, int* answerKind)
{
    if (!m_pipe)
        return kNoPipe;
    std::vector<BYTE> record;
    try {
        KrpProgressCallback callback;
        callback.code = 4;
        callback.query_kind = static_cast<DWORD>(queryKind);
        callback.text = query;
        callback.default_answer = answer;
        record = WriteKrpProgressCallback(callback);
    } catch (const std::bad_alloc&) {
        return kNoMemory;
    }
    const std::optional<QueryAnswer> reply = ExchangeQueryCallback(*m_pipe, record);
    const bool text = reply && reply->kind == QueryAnswer::kText;
    if (text)
        answer = reply->answer;
    if (answerKind)
        *answerKind = static_cast<int>(text ? QueryAnswer::kText : QueryAnswer::kNone);
    return S_OK;
}
