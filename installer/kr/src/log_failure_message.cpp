#include "kr/log_failure_message.h"

namespace kr {

_stringx get_log_failure_message(LANGID language)
{
    wchar_t text[1040] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        ERROR_INSTALL_LOG_FAILURE, language, text, 1040, nullptr);
    return _stringx(text, length);
}

} // namespace kr
