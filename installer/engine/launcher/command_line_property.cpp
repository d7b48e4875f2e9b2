#include "command_line_property.h"

#include <map>

#include "kr/argument_scanner.h"
#include "kr/command_line_exception.h"

namespace {

using property_table = std::map<_stringx, _stringx, kr::less_nocase>;

property_table& CommandLineProperties()
{
    static property_table table;
    return table;
}

// Enters every pair of the process command line; a later pair replaces an
// earlier one of the same name. False when the text cannot be scanned; the
// pairs read before the bad spot stay.
bool FillTable(property_table& table)
{
    kr::argument_scanner scanner(ProcessCommandLine(), true);
    try {
        for (;;) {
            const size_t before = scanner.remaining().length();
            _stringx name;
            _stringx value;
            const bool more = scanner.next(name, value);
            if (scanner.remaining().length() == before)
                return true;
            table[name] = value;
            if (!more)
                return true;
        }
    } catch (const command_line_exception&) {
        return false;
    }
}

} // namespace

_stringx& ProcessCommandLine()
{
    static _stringx text;
    return text;
}

bool GetCommandLineProperty(const _stringx& name, _stringx& value)
{
    property_table& table = CommandLineProperties();
    if (table.empty() && !FillTable(table))
        return false;
    const auto found = table.find(name);
    if (found == table.end())
        return false;
    value = found->second;
    return true;
}

void ResetCommandLineProperties()
{
    CommandLineProperties().clear();
}
