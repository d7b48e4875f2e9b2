#include "staging/StageCopyProgress.h"

#include "kr/copy_file.h"
#include "kr/stringx.h"
#include "kr/trace_log.h"
#include "staging/File.h"
#include "staging/StagingHost.h"

namespace {

constexpr HRESULT kUserExit = static_cast<HRESULT>(0x80070642);
constexpr DWORD kDeclinedRetry = 0x8004070E;
// System-modal, warning icon, Retry and Cancel.
constexpr int kRetryQuestionFlags = 0x1035;
constexpr ULONGLONG kUnknownSize = ~0ULL;

struct CopyProgressState {
    _stringx source;
    _stringx target;
    ULONGLONG total = 0;
    ULONGLONG done = 0;
};

CopyProgressState& Remembered()
{
    static CopyProgressState state;
    return state;
}

DWORD Report(CFile& file, const _stringx& name)
{
    IStagingHost* host = StagingHost();
    const CopyProgressState& state = Remembered();
    if (host && host->ReportStagingProgress(name, state.done, state.total) == kUserExit) {
        file.SetCancelled();
        return kr::copy_answer_cancel;
    }
    return kr::copy_answer_continue;
}

DWORD AskRetry(CFile& file)
{
    if (file.IsCancelled())
        return kr::copy_answer_cancel;
    IStagingHost* host = StagingHost();
    int answer = 0;
    HRESULT hr = E_FAIL;
    if (host) {
        _stringx message = host->ResolveStringId(L"IDS_STAGEDOWNLOAD_FAILRETRY");
        const size_t slot = message.find(L"%s");
        if (slot != _stringx::npos)
            message = message.substr(0, slot) + Remembered().source + message.substr(slot + 2);
        hr = host->Fire_OnNonFatalError(message, kRetryQuestionFlags, &answer);
    }
    if (SUCCEEDED(hr) && answer == IDRETRY)
        return kr::copy_answer_repeat;
    SetLastError(kDeclinedRetry);
    return kr::copy_answer_cancel;
}

} // namespace

DWORD CALLBACK StageCopyProgress(void* context, DWORD code, const wchar_t* text, DWORD low, DWORD high)
{
    CFile& file = *static_cast<CFile*>(context);
    CopyProgressState& state = Remembered();
    const ULONGLONG number = (static_cast<ULONGLONG>(high) << 32) | low;
    switch (code) {
    case kr::copy_source_path:
        state.source = text ? text : L"";
        return kr::copy_answer_continue;
    case kr::copy_target_path:
        state.target = text ? text : L"";
        return kr::copy_answer_continue;
    case kr::copy_source_size:
        state.total = number;
        if (number == kUnknownSize)
            state.total = file.GetSize() != 0 ? static_cast<ULONGLONG>(file.GetSize()) : kUnknownSize;
        return kr::copy_answer_continue;
    case kr::copy_target_opened:
        state.done = 0;
        return Report(file, state.target.path_file_name());
    case kr::copy_chunk_written:
        state.done = number;
        return Report(file, file.GetName().path_file_name());
    case kr::copy_failed:
        return AskRetry(file);
    case kr::copy_finished:
        state = CopyProgressState();
        return kr::copy_answer_continue;
    default:
        return kr::copy_answer_continue;
    }
}

CStageCopyProgressScope::CStageCopyProgressScope(CFile& file)
{
    kr::set_copy_progress_callback(&StageCopyProgress, &file);
}

CStageCopyProgressScope::~CStageCopyProgressScope()
{
    kr::set_copy_progress_callback(nullptr, nullptr);
}
