#pragma once

// The kinds of leaf conditions, named by the leaf element of setup.xml, and
// the makers that construct an empty condition of each kind.

#include <memory>

#include "kr/stringx.h"

class CCondition;

enum ConditionKind {
    ckRegistryExists = 0,
    ckRegistryValue = 1,
    ckFileExists = 2,
    ckFileValue = 3,
    ckPlatform = 4,
    ckExtension = 5,
    ckMsiInstalled = 6,
    ckParcelRef = 7,
    ckMsiRelated = 8,
    ckKrpInstalled = 9,
    ckLocale = 10,
    ckAppxInstalled = 11,
    ckPropertyValue = 12,
    ckFeatureAction = 13,
    ckParcelAction = 14,
    ckUWPIsTypePresent = 15,
    ckInvalid = 16,
};

// The kind of a leaf element by its local name (any case). A built-in name
// wins over the extension kind even for an element in a foreign namespace;
// any other name with ":" or in a foreign namespace is an extension.
int ParseConditionType(const _stringx& typeName, bool foreign);

// Each kind's module registers the maker of its class; returns the maker it replaces.
using ConditionMaker = std::unique_ptr<CCondition> (*)();
ConditionMaker SetConditionMaker(int kind, ConditionMaker maker) noexcept;
// An empty condition of the kind; null for a kind outside 0-15 or one without a maker.
std::unique_ptr<CCondition> MakeCondition(int kind);
