#include "log_failure_box.h"

#include "kr/log_failure_message.h"
#include "kr/message_box.h"

namespace {

constexpr DWORD kLogFailureStatus = 0x8004071A;
constexpr DWORD kLogFailureError = ERROR_INSTALL_LOG_FAILURE; // 1622

} // namespace

message_box_function SetMessageBoxFunction(message_box_function function)
{
    return kr::set_message_box_function(function);
}

void ShowLogFailureMessage(const _stringx& caption)
{
    _stringx text;
    text.format(L"0x%08x:%x\n", kLogFailureStatus, kLogFailureError);
    text += kr::get_log_failure_message(GetUserDefaultLangID());
    kr::message_box(nullptr, text.c_str(), caption.c_str(), MB_ICONERROR);
}
