// What the suite-state conditions look up in the engine's model.

#include "suite/SetupEngine.h"

CFeature* CSetupEngine::FindFeature(const _stringx& name)
{
    for (const auto& feature : m_model->features) {
        if (feature->GetName() == name)
            return feature.Get();
    }
    return nullptr;
}
