#include "conditions/ConditionKind.h"

#include "conditions/Condition.h"
#include "conditions/LocaleCondition.h"
#include "conditions/PlatformCondition.h"
#include "conditions/UWPApiIsTypePresentCondition.h"
#include "kr/trace_log.h"

namespace {

#define CONDITION_SOURCE TraceSource{L"Condition", __LINE__}

struct NamedKind {
    const wchar_t* name;
    int kind;
};

// The built-in names, tested before the extension rule.
constexpr NamedKind kNamedKinds[] = {
    {L"RegistryExists", ckRegistryExists},
    {L"RegistryValue", ckRegistryValue},
    {L"FileExists", ckFileExists},
    {L"FileValue", ckFileValue},
    {L"Platform", ckPlatform},
    {L"MsiInstalled", ckMsiInstalled},
    {L"ParcelRef", ckParcelRef},
    {L"MsiRelated", ckMsiRelated},
    {L"KrpInstalled", ckKrpInstalled},
    {L"Locale", ckLocale},
    {L"AppxInstalled", ckAppxInstalled},
    {L"PropertyValue", ckPropertyValue},
    {L"FeatureAction", ckFeatureAction},
    {L"ParcelAction", ckParcelAction},
    {L"UWPIsTypePresent", ckUWPIsTypePresent},
};

// The built-in kinds whose classes exist; the others stay without a maker.
struct Makers {
    Makers()
    {
        table[ckPlatform] = MakePlatformCondition;
        table[ckLocale] = MakeLocaleCondition;
        table[ckUWPIsTypePresent] = MakeUWPApiIsTypePresentCondition;
    }
    ConditionMaker table[ckInvalid] = {};
};

ConditionMaker* MakerTable()
{
    static Makers makers;
    return makers.table;
}

bool IsMadeKind(int kind) noexcept
{
    return kind >= 0 && kind < ckInvalid;
}

} // namespace

int ParseConditionType(const _stringx& typeName, bool foreign)
{
    for (const NamedKind& named : kNamedKinds) {
        if (typeName == named.name)
            return named.kind;
    }
    if (foreign || typeName.find(L':') != _stringx::npos)
        return ckExtension;
    TraceFormat(CONDITION_SOURCE, L"Invalid condition conversion type: %s", typeName.c_str());
    return ckInvalid;
}

ConditionMaker SetConditionMaker(int kind, ConditionMaker maker) noexcept
{
    if (!IsMadeKind(kind))
        return nullptr;
    const ConditionMaker previous = MakerTable()[kind];
    MakerTable()[kind] = maker;
    return previous;
}

std::unique_ptr<CCondition> MakeCondition(int kind)
{
    if (!IsMadeKind(kind) || !MakerTable()[kind])
        return nullptr;
    return MakerTable()[kind]();
}
