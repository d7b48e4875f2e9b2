#pragma once

// Building one leaf condition of a registered kind the way the setup.xml
// reader does (attributes into the bag, then Validate), and evaluating it.

#include <windows.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "conditions/Condition.h"

namespace testing_support {

using AttributeList = std::initializer_list<std::pair<const wchar_t*, std::wstring>>;

// A condition of the kind with its attributes, not validated; the suite's
// kinds are registered first.
std::unique_ptr<CCondition> MakeKind(int kind, AttributeList attributes);

struct Evaluation {
    HRESULT hr;
    bool result;
};
Evaluation EvaluateOnce(CCondition& condition);

} // namespace testing_support
