#include "conditions/FormattedString.h"

#include "conditions/FormattedStringParser.h"

namespace {

_stringx Expand(const _stringx& text, const CProperties* context, bool dropUnresolved)
{
    CFormattedStringParser parser(text, dropUnresolved);
    parser.SetContext(context);
    _stringx value;
    parser.Evaluate(value);
    return value;
}

} // namespace

_stringx FormatPropertyString(const _stringx& text, const CProperties* context)
{
    return Expand(text, context, true);
}

_stringx FormatPropertyStringKeepUnresolved(const _stringx& text, const CProperties* context)
{
    return Expand(text, context, false);
}
