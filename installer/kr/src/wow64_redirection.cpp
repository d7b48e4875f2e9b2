#include "kr/wow64_redirection.h"

#include <windows.h>

#include <deque>

#include "kr/kernel32_forms.h"
#include "kr/system_info.h"

namespace kr {

namespace {

std::deque<void*>& redirection_stack()
{
    static std::deque<void*> stack;
    return stack;
}

} // namespace

bool wow64_redirection(bool revert)
{
    if (!is_wow64())
        return false;
    using disable_fn = BOOL(WINAPI*)(void**);
    using revert_fn = BOOL(WINAPI*)(void*);
    using enable_fn = BOOLEAN(WINAPI*)(BOOLEAN);
    const auto disable = kernel32_proc<disable_fn>("Wow64DisableWow64FsRedirection");
    const auto undo = kernel32_proc<revert_fn>("Wow64RevertWow64FsRedirection");
    std::deque<void*>& stack = redirection_stack();

    if (disable && undo) {
        if (!revert) {
            void* old_value = nullptr;
            if (!disable(&old_value))
                return false;
            stack.push_back(old_value);
            return true;
        }
        if (!stack.empty()) {
            void* old_value = stack.back();
            stack.pop_back();
            return undo(old_value) != FALSE;
        }
    }
    const auto enable = kernel32_proc<enable_fn>("Wow64EnableWow64FsRedirection");
    return enable && enable(revert ? TRUE : FALSE);
}

size_t wow64_redirection_depth()
{
    return redirection_stack().size();
}

} // namespace kr
