#include "suite/SetupEngine.h"

#include <map>

#include "kr/argument_scanner.h"
#include "kr/command_line_exception.h"
#include "kr/trace_log.h"

namespace {

constexpr wchar_t kMask[] = L"**********";

using ArgumentBag = std::map<_stringx, _stringx, NoCaseLess>;

// Every argument of the text; throws command_line_exception for a malformed one.
ArgumentBag ScanArguments(const _stringx& text)
{
    ArgumentBag bag;
    kr::argument_scanner scanner(text, true);
    for (bool more = true; more;) {
        _stringx name;
        _stringx value;
        more = scanner.next(name, value);
        if (!name.empty())
            bag[name] = value;
    }
    return bag;
}

// Replaces the value written after each occurrence of the prefix; the prefix
// keeps its letters as written.
void MaskValue(_stringx& text, const _stringx& prefix, const _stringx& value)
{
    const _stringx search = prefix + value;
    for (size_t at = text.find(search); at != _stringx::npos; at = text.find(search, at + prefix.length() + 10))
        text.replace(at + prefix.length(), value.length(), kMask, 10);
}

// Masks the argument's value, bare or quoted.
void MaskArgument(_stringx& text, const _stringx& name, const _stringx& value)
{
    _stringx prefix = _stringx(L"/") + name + L":";
    if (text.find(prefix) == _stringx::npos) {
        prefix = _stringx(L"-") + name + L":";
        if (text.find(prefix) == _stringx::npos)
            prefix = name + L"=";
    }
    MaskValue(text, prefix + L"\"", value);
    MaskValue(text, prefix, value);
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
        MaskArgument(text, name, found->second);
    }
    return text;
}
