#include "log_failure_box.h"

#include "kr/log_failure_message.h"

namespace {

constexpr DWORD kLogFailureStatus = 0x8004071A;
constexpr DWORD kLogFailureError = ERROR_INSTALL_LOG_FAILURE; // 1622

message_box_function& MessageBoxCall()
{
    static message_box_function function = MessageBoxW;
    return function;
}

} // namespace

message_box_function SetMessageBoxFunction(message_box_function function)
{
    const message_box_function previous = MessageBoxCall();
    MessageBoxCall() = function ? function : MessageBoxW;
    return previous;
}

void ShowLogFailureMessage(const _stringx& caption)
{
    _stringx text;
    text.format(L"0x%08x:%x\n", kLogFailureStatus, kLogFailureError);
    text += kr::get_log_failure_message(GetUserDefaultLangID());
    MessageBoxCall()(nullptr, text.c_str(), caption.c_str(), MB_ICONERROR);
}
