#include "conditions/Condition.h"

#include "conditions/FormattedString.h"
#include "conditions/SetupEngine.h"

CCondition::~CCondition() = default;

_stringx CCondition::GetConvertValue() const
{
    return _stringx();
}

_stringx CCondition::GetCompareToValue() const
{
    return _stringx();
}

_stringx CCondition::FormatString(const _stringx& text) const
{
    if (ISetupEngine* engine = SetupEngine())
        return engine->FormatString(text);
    // Without an engine there are no properties to resolve.
    return FormatPropertyString(text, nullptr);
}

void CCondition::SetExtension(const _stringx&, const _stringx&)
{
}
