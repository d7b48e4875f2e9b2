#pragma once

// The library's chunked file copy with its process-wide progress call-back.

#include <windows.h>

#include "kr/stringx.h"

namespace kr {

// Call-back codes, in the order a copy sends them.
enum copy_progress_code : DWORD {
    copy_target_opened = 0,
    copy_finished = 1,
    copy_failed = 3,
    copy_chunk_written = 4,
    copy_target_path = 5,
    copy_source_path = 6,
    copy_source_size = 7,
};

// Answers: cancel to copy_target_opened or copy_chunk_written; repeat to
// copy_finished or copy_failed starts the copy again. Anything else goes on.
constexpr DWORD copy_answer_continue = 1;
constexpr DWORD copy_answer_cancel = 2;
constexpr DWORD copy_answer_repeat = 4;

// (context, code, text or null, low and high 32 bits of a number) -> answer.
using copy_progress_callback = DWORD(CALLBACK*)(void* context, DWORD code, const wchar_t* text, DWORD low,
                                                DWORD high);

void set_copy_progress_callback(copy_progress_callback callback, void* context);

// The size callers use.
constexpr DWORD copy_chunk_size = 32768;

// Copies through a temporary file beside the target, which replaces the
// target only when the whole source was copied; a failed or cancelled copy
// leaves no partial target. The reason of a failure is in the library state.
bool copy_file(const _stringx& source, const _stringx& target, DWORD chunk_size, bool copy_times);

} // namespace kr
