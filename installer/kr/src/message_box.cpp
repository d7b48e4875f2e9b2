#include "kr/message_box.h"

namespace kr {

namespace {

message_box_function& current()
{
    static message_box_function function = MessageBoxW;
    return function;
}

} // namespace

message_box_function set_message_box_function(message_box_function function)
{
    const message_box_function previous = current();
    current() = function ? function : MessageBoxW;
    return previous;
}

int message_box(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    return current()(owner, text, caption, type);
}

} // namespace kr
