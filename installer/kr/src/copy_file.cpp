#include "kr/copy_file.h"

#include <memory>

#include "kr/file.h"
#include "kr/file_system.h"
#include "kr/library_state.h"
#include "kr/system_info.h"
#include "kr/win32_exception.h"

namespace kr {

namespace {

struct copy_progress {
    copy_progress_callback callback = nullptr;
    void* context = nullptr;
};

copy_progress& progress()
{
    static copy_progress instance;
    return instance;
}

DWORD notify(DWORD code, const wchar_t* text, ULONGLONG number)
{
    const copy_progress& p = progress();
    if (!p.callback)
        return copy_answer_continue;
    return p.callback(p.context, code, text, static_cast<DWORD>(number), static_cast<DWORD>(number >> 32));
}

constexpr ULONGLONG kNoNumber = ~0ULL;

// Closing may throw; a copy that cannot close its target has failed.
bool close_quietly(file& f) noexcept
{
    try {
        f.close();
        return true;
    } catch (const file_exception&) {
        return false;
    }
}

struct file_times {
    FILETIME last_write = {};
    FILETIME creation = {};
    FILETIME last_access = {};
};

} // namespace

void set_copy_progress_callback(copy_progress_callback callback, void* context)
{
    progress().callback = callback;
    progress().context = context;
}

bool copy_file(const _stringx& source, const _stringx& target, DWORD chunk_size, bool copy_times)
{
    clear_errors();
    if (!create_folder_of(target)) {
        set_last_result(GetLastError());
        set_error_path(target);
        return false;
    }
    const _stringx folder = target.path_folder(true);
    if (!folder.empty() && !path_test(folder, path_accept_any))
        return false;

    // The bytes go to a temporary name in the target's folder first, so that
    // nothing can take a half-written file for the target.
    _stringx partial = folder;
    partial.append_path(L"{" + new_guid_string() + L"}.kr~");

    notify(copy_source_path, source.c_str(), kNoNumber);
    notify(copy_target_path, target.c_str(), kNoNumber);

    const bool from_web = source.is_url();
    if (chunk_size == 0)
        chunk_size = copy_chunk_size;
    std::unique_ptr<BYTE[]> buffer(new BYTE[chunk_size]);

    for (;;) {
        file in;
        DWORD opened = in.open(source, GENERIC_READ, FILE_SHARE_READ, FILE_ATTRIBUTE_NORMAL, OPEN_EXISTING);
        if (opened != 0) {
            set_last_result(opened);
            set_error_path(source);
            return false;
        }

        file_times times;
        if (copy_times) {
            try {
                in.get_times(&times.last_write, &times.creation, &times.last_access);
            } catch (const file_exception&) {
                copy_times = false;
            }
        }

        if (progress().callback) {
            ULONGLONG size = kNoNumber;
            try {
                size = in.size64();
            } catch (const file_exception&) {
            }
            notify(copy_source_size, nullptr, size);
        }

        file out;
        opened = out.open(partial, GENERIC_WRITE, FILE_SHARE_READ, FILE_ATTRIBUTE_NORMAL, CREATE_ALWAYS);
        if (opened != 0) {
            set_last_result(opened);
            set_error_path(target);
            close_quietly(in);
            return false;
        }

        if (notify(copy_target_opened, nullptr, kNoNumber) == copy_answer_cancel) {
            close_quietly(out);
            close_quietly(in);
            DeleteFileW(partial.c_str());
            set_last_result(ERROR_CANCELLED);
            return false;
        }

        ULONGLONG count = 0;
        bool failed = false;
        DWORD error = 0;
        for (;;) {
            DWORD got = 0;
            try {
                got = in.read(buffer.get(), chunk_size);
            } catch (const file_exception& failure) {
                error = failure.code();
                failed = true;
                break;
            }
            if (got == 0)
                break;
            if (got == static_cast<DWORD>(-1)) {
                error = GetLastError();
                failed = true;
                break;
            }
            try {
                out.write(buffer.get(), got);
            } catch (const file_exception& failure) {
                error = failure.code();
                failed = true;
                break;
            }
            count += got;
            if (notify(copy_chunk_written, nullptr, count) == copy_answer_cancel) {
                error = ERROR_CANCELLED;
                failed = true;
                break;
            }
        }

        if (!failed && copy_times) {
            try {
                if (from_web)
                    out.set_times(&times.last_write, nullptr, nullptr);
                else
                    out.set_times(&times.last_write, &times.creation, &times.last_access);
            } catch (const file_exception&) {
            }
        }

        if (!close_quietly(out) && !failed) {
            error = GetLastError();
            failed = true;
        }
        close_quietly(in);

        const DWORD answer = notify(failed ? copy_failed : copy_finished, nullptr, count);
        if (answer == copy_answer_repeat) {
            DeleteFileW(partial.c_str());
            continue;
        }

        if (!failed && !MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            error = GetLastError();
            set_error_path(target);
            failed = true;
        }
        if (failed) {
            DeleteFileW(partial.c_str());
            set_last_result(error);
            return false;
        }
        set_last_result(0);
        return true;
    }
}

} // namespace kr
