#include "kr/argument_scanner.h"

#include "kr/command_line_exception.h"

namespace kr {

argument_scanner::argument_scanner(const _stringx& text, bool several_arguments)
    : text_(text), several_arguments_(several_arguments)
{
}

bool argument_scanner::next(_stringx& name, _stringx& value)
{
    if (text_.empty())
        return false;
    _stringx text(text_);
    _stringx taken_name;
    _stringx taken_value;
    switch (split_name_value(text, taken_name)) {
    case value_follows:
        take_value(text, taken_value);
        break;
    case no_value:
        break;
    default:
        return false;
    }
    name = taken_name;
    value = taken_value;
    text_ = text;
    return !text_.empty();
}

int argument_scanner::split_name_value(_stringx& text, _stringx& name) const
{
    text.trim(L" ");
    const wchar_t* chars = text.c_str();
    const size_t length = text.length();
    size_t name_start = 0;
    bool prefix = false;
    for (size_t i = 0; i < length; ++i) {
        const wchar_t c = chars[i];
        size_t name_end = i;
        size_t rest = i + 1;
        int kind = 0;
        if (c == L'-' || c == L'/') {
            name_start = i + 1;
            prefix = true;
            continue;
        } else if (c == L'=') {
            kind = value_follows;
        } else if (c == L':' && prefix) {
            kind = value_follows;
        } else if (c == L' ') {
            if (!several_arguments_ || !prefix)
                throw command_line_exception();
            kind = no_value;
        } else if (c == L'"') {
            if (!several_arguments_ || !prefix)
                throw command_line_exception();
            const size_t closing = text.find(L'"', i + 1);
            // An opening quote that is never closed cannot be read as an argument.
            if (closing == _stringx::npos)
                throw command_line_exception();
            name_end = closing;
            rest = closing + 1;
            kind = no_value;
        } else {
            continue;
        }
        name = text.substr(name_start, name_end - name_start);
        text = text.substr(rest);
        return kind;
    }
    if (several_arguments_ && prefix)
        return no_argument;
    throw command_line_exception();
}

bool argument_scanner::take_value(_stringx& text, _stringx& value) const
{
    value.erase();
    if (text.empty())
        return true;
    const wchar_t* chars = text.c_str();
    const size_t length = text.length();
    const bool quoted = chars[0] == L'"';
    const size_t start = quoted ? 1 : 0;
    size_t end = length;
    for (size_t i = start; i < length; ++i) {
        const bool escaped = i > 0 && chars[i - 1] == L'\\';
        if ((chars[i] == L'"' && !escaped) || (!quoted && chars[i] == L' ')) {
            end = i;
            break;
        }
    }
    value = text.substr(start, end - start);
    text = end < length ? text.substr(end + 1) : _stringx();
    value.replace_all(L"\\\"", L"\"");
    return true;
}

} // namespace kr
