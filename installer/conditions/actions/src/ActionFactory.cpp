#include "actions/Action.h"

#include "actions/ActionCallClr.h"
#include "actions/ActionCallDll.h"
#include "actions/ActionCallExe.h"
#include "actions/ActionCallPowerShell.h"
#include "actions/ActionCallQuillex.h"
#include "actions/ActionSetProperty.h"

std::unique_ptr<CAction> CreateSuiteAction(const _stringx& elementName)
{
    // Element names match exactly, case included.
    const _wstringx name = elementName.to_wstringx();
    if (name == L"CallExe")
        return std::make_unique<CActionCallExe>();
    if (name == L"CallDll")
        return std::make_unique<CActionCallDll>();
    if (name == L"CallPowerShell")
        return std::make_unique<CActionCallPowerShell>();
    if (name == L"CallQuillex")
        return std::make_unique<CActionCallQuillex>();
    if (name == L"SetProperty")
        return std::make_unique<CActionSetProperty>();
    if (name == L"CallClr")
        return std::make_unique<CActionCallClr>();
    return nullptr;
}
