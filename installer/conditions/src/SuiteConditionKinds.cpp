#include "conditions/SuiteConditionKinds.h"

#include <memory>

#include "conditions/ConditionKind.h"
#include "conditions/ExtensionCondition.h"
#include "conditions/FeatureStateCondition.h"
#include "conditions/FileValueCondition.h"
#include "conditions/ParcelActionCondition.h"
#include "conditions/ParcelRefCondition.h"
#include "conditions/PropertyValueCondition.h"
#include "conditions/RegistryValueCondition.h"

namespace {

template <class C>
std::unique_ptr<CCondition> Make()
{
    return std::make_unique<C>();
}

} // namespace

void RegisterSuiteConditionKinds() noexcept
{
    SetConditionMaker(ckRegistryExists, &Make<CRegistryExistsCondition>);
    SetConditionMaker(ckRegistryValue, &Make<CRegistryValueCondition>);
    SetConditionMaker(ckFileExists, &Make<CFileExistsCondition>);
    SetConditionMaker(ckFileValue, &Make<CFileValueCondition>);
    SetConditionMaker(ckParcelRef, &Make<CParcelRefCondition>);
    SetConditionMaker(ckPropertyValue, &Make<CPropertyValueCondition>);
    SetConditionMaker(ckFeatureAction, &Make<CFeatureStateCondition>);
    SetConditionMaker(ckParcelAction, &Make<CParcelActionCondition>);
    SetConditionMaker(ckExtension, MakeExtensionCondition);
}
