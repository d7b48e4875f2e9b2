#include "conditions/SetupEngine.h"

namespace {

ISetupEngine* g_engine = nullptr;

} // namespace

ISetupEngine* SetupEngine() noexcept
{
    return g_engine;
}

void SetSetupEngine(ISetupEngine* engine) noexcept
{
    g_engine = engine;
}
