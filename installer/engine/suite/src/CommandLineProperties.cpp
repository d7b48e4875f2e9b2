#include "suite/SetupEngine.h"

#include <map>

#include "kr/argument_scanner.h"
#include "kr/command_line_exception.h"
#include "kr/trace_log.h"

namespace {

constexpr wchar_t kMask[] = L"**********";

using ArgumentBag = std::map<_stringx, _stringx, NoCaseLess>;

// Every argument of the text; throws command_line_exception for a malformed one.
// A name given twice keeps a value that is not empty, so a later empty one
// does not leave the earlier value in clear.
ArgumentBag ScanArguments(const _stringx& text)
{
    ArgumentBag bag;
    kr::argument_scanner scanner(text, true);
    for (bool more = true; more;) {
        _stringx name;
        _stringx value;
        more = scanner.next(name, value);
        if (!name.empty() && (!value.empty() || !bag.count(name)))
            bag[name] = value;
    }
    return bag;
}

// Where the value written at "at" ends, as the scanner reads it: a quoted
// value at its closing quote (quotes escaped with a backslash stay inside),
// a bare one at a blank or an unescaped quote.
size_t ValueEnd(const _stringx& text, size_t at)
{
    const bool quoted = at < text.length() && text[at] == L'"';
    for (size_t i = quoted ? at + 1 : at; i < text.length(); ++i) {
        const bool escaped = i > 0 && text[i - 1] == L'\\';
        if (text[i] == L'"' && !escaped)
            return quoted ? i + 1 : i;
        if (!quoted && text[i] == L' ')
            return i;
    }
    return text.length();
}

// Every value written after the prefix, bare or quoted, gives way to the mask;
// the prefix keeps its letters as written.
void MaskValues(_stringx& text, const _stringx& prefix)
{
    for (size_t at = text.find(prefix); at != _stringx::npos; at = text.find(prefix, at + prefix.length() + 10)) {
        const size_t value = at + prefix.length();
        text.replace(value, ValueEnd(text, value) - value, kMask, 10);
    }
}

// A hidden value is masked however its argument was written.
void MaskArgument(_stringx& text, const _stringx& name)
{
    MaskValues(text, _stringx(L"/") + name + L":");
    MaskValues(text, _stringx(L"-") + name + L":");
    MaskValues(text, name + L"=");
}

} // namespace

bool CSetupEngine::ValidateCommandLine(const _stringx& commandLine)
{
    try {
        kr::argument_scanner scanner(commandLine, true);
        for (bool more = true; more;) {
            _stringx name;
            _stringx value;
            more = scanner.next(name, value);
            if (!name.empty() && !CommandLineReservedNames().count(name))
                SetProperty(name, value, false);
        }
    } catch (const command_line_exception&) {
        TraceFormat({L"SetupEngine", __LINE__}, L"Engine: invalid command line");
        return false;
    }
    return true;
}

// The hidden properties' values are masked, and so is a password given with
// the "password:" switch or as KRPassword, which no file may hold.
_stringx CSetupEngine::LogCommandLine(const _stringx& commandLine) const
{
    ArgumentBag bag;
    try {
        bag = ScanArguments(commandLine);
    } catch (const command_line_exception&) {
        return L"**invalid command line**";
    }
    kr::stringx_vector masked = m_hiddenNames;
    masked.push_back(L"password");
    masked.push_back(L"KRPassword");
    _stringx text(commandLine);
    for (const _stringx& name : masked) {
        if (text.find(name) == _stringx::npos)
            continue;
        const auto found = bag.find(name);
        if (found == bag.end() || found->second.empty())
            continue;
        MaskArgument(text, name);
    }
    return text;
}
