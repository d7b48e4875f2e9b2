#include "command_line.h"

#include <cwchar>

#include "kr/holders.h"

namespace {

// One argument from text: up to the next space outside double quotes.
const wchar_t* argument_end(const wchar_t* text)
{
    bool quoted = false;
    for (; *text; ++text) {
        if (*text == L'"')
            quoted = !quoted;
        else if (*text == L' ' && !quoted)
            break;
    }
    return text;
}

} // namespace

command_line::command_line(const wchar_t* text)
{
    if (text)
        line_ = SysAllocString(text);
    split();
}

command_line::~command_line()
{
    for (BSTR argument : arguments_)
        SysFreeString(argument);
    SysFreeString(line_);
}

const wchar_t* command_line::skip_blanks(const wchar_t* text)
{
    if (!text)
        return nullptr;
    while (*text == L' ')
        ++text;
    return text;
}

size_t command_line::count_arguments(const wchar_t* text)
{
    size_t count = 0;
    for (text = skip_blanks(text); text && *text; text = skip_blanks(argument_end(text)))
        ++count;
    return count;
}

void command_line::split()
{
    if (split_done_)
        return;
    split_done_ = true;
    const size_t count = count_arguments(line_);
    arguments_.reserve(count);
    consumed_.assign(count, 0);
    for (const wchar_t* text = skip_blanks(line_); text && *text;) {
        const wchar_t* end = argument_end(text);
        arguments_.push_back(SysAllocStringLen(text, static_cast<UINT>(end - text)));
        text = skip_blanks(end);
    }
}

bool command_line::find_switch(const wchar_t* name, BSTR* value, bool exact, bool consume)
{
    const size_t name_length = wcslen(name);
    for (size_t i = 0; i < arguments_.size(); ++i) {
        const wchar_t* argument = arguments_[i];
        if (!argument || (argument[0] != L'-' && argument[0] != L'/'))
            continue;
        const wchar_t* text = argument + 1;
        if (wcslen(text) < name_length || _wcsnicmp(text, name, name_length) != 0)
            continue;
        const wchar_t* rest = text + name_length;
        if (exact && *rest)
            continue;
        if (value)
            *value = SysAllocString(rest);
        consumed_[i] = consume ? 1 : 0;
        return true;
    }
    return false;
}

HRESULT command_line::remaining(BSTR* text) const
{
    if (!text)
        return E_POINTER;
    *text = nullptr;
    kr::bstr_holder joined(SysAllocString(L""));
    const kr::bstr_holder blank(SysAllocString(L" "));
    if (!joined.get() || !blank.get())
        return E_OUTOFMEMORY;
    for (size_t i = 0; i < arguments_.size(); ++i) {
        if (consumed_[i])
            continue;
        if (SysStringLen(joined.get()) != 0) {
            kr::bstr_holder spaced;
            const HRESULT result = VarBstrCat(joined.get(), blank.get(), spaced.address());
            if (FAILED(result))
                return result;
            joined.reset(spaced.detach());
        }
        kr::bstr_holder longer;
        const HRESULT result = VarBstrCat(joined.get(), arguments_[i], longer.address());
        if (FAILED(result))
            return result;
        joined.reset(longer.detach());
    }
    *text = joined.detach();
    return S_OK;
}
