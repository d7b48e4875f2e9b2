#include "suite/SetupEngine.h"

#include <algorithm>

namespace {

bool RefersTo(const CPropertySetter& setter, const CPropertySetter& referred)
{
    return setter.Value().find(_stringx(L"[") + referred.Name() + L"]") != _stringx::npos;
}

// Plain setters by name, then formatted ones, each after the formatted
// setters whose names it refers to. The reference rule is no strict weak
// order, so the formatted ones are placed one at a time.
std::vector<std::unique_ptr<CPropertySetter>> OrderSetters(std::vector<std::unique_ptr<CPropertySetter>> setters)
{
    for (const auto& setter : setters)
        ModelEntry(setter);
    std::vector<std::unique_ptr<CPropertySetter>> ordered;
    std::vector<std::unique_ptr<CPropertySetter>> formatted;
    for (auto& setter : setters)
        (setter->FormatsValue() ? formatted : ordered).push_back(std::move(setter));
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto& a, const auto& b) { return a->Name().compare(b->Name()) < 0; });

    // Take first a formatted setter that no remaining one needs before it.
    while (!formatted.empty()) {
        auto next = formatted.begin();
        for (auto candidate = formatted.begin(); candidate != formatted.end(); ++candidate) {
            const bool waits = std::any_of(formatted.begin(), formatted.end(), [&](const auto& other) {
                return other != *candidate && RefersTo(**candidate, *other);
            });
            if (!waits) {
                next = candidate;
                break;
            }
        }
        ordered.push_back(std::move(*next));
        formatted.erase(next);
    }
    return ordered;
}

} // namespace

HRESULT CSetupEngine::ApplyPropertySetters()
{
    auto ordered = OrderSetters(std::move(m_model->propertySetters));
    m_model->propertySetters.clear();
    for (const auto& setter : ordered)
        setter->Apply();
    return S_OK;
}
