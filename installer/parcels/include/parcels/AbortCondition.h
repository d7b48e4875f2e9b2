#pragma once

// An abort condition of setup.xml: its message ("Text", a string id or text)
// and the condition that, when true, stops the suite at initialisation.

#include "conditions/ConditionContainer.h"
#include "properties/Properties.h"

class CAbortCondition : public CProperties, public CConditionOwner {
public:
    CAbortCondition() = default;
};
