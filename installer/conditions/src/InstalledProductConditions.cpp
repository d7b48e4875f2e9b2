#include "conditions/InstalledProductConditions.h"

#include "conditions/AppxInstalledCondition.h"
#include "conditions/ConditionKind.h"
#include "conditions/KrpInstalledCondition.h"
#include "conditions/MsiInstalledCondition.h"
#include "conditions/MsiRelatedCondition.h"

void RegisterInstalledProductConditions()
{
    SetConditionMaker(ckMsiInstalled, MakeMsiInstalledCondition);
    SetConditionMaker(ckMsiRelated, MakeMsiRelatedCondition);
    SetConditionMaker(ckKrpInstalled, MakeKrpInstalledCondition);
    SetConditionMaker(ckAppxInstalled, MakeAppxInstalledCondition);
}
