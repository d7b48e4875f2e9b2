#pragma once

// What the installed-product condition tests share: a registered condition of
// a kind with its attributes, its evaluation, and the test program's folder.

#include <gtest/gtest.h>

#include <windows.h>

#include <initializer_list>
#include <memory>

#include "conditions/ConditionKind.h"
#include "conditions/InstalledProductConditions.h"
#include "kr/stringx.h"

namespace installed_testing {

struct Attribute {
    const wchar_t* name;
    const wchar_t* value;
};

inline std::unique_ptr<CCondition> Make(int kind, std::initializer_list<Attribute> attributes)
{
    RegisterInstalledProductConditions();
    std::unique_ptr<CCondition> condition = MakeCondition(kind);
    for (const Attribute& attribute : attributes)
        condition->Attributes().SetAttribute(attribute.name, attribute.value);
    return condition;
}

// The result, with the evaluation's HRESULT expected.
inline bool Evaluated(CCondition& condition, HRESULT expected = S_OK)
{
    bool result = false;
    EXPECT_EQ(condition.Evaluate(&result), expected);
    return result;
}

inline _stringx ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return _stringx(path).path_folder();
}

} // namespace installed_testing
