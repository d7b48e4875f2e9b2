#include "parcels/EventAction.h"

#include <iterator>

// The suite's event actions register their maker here.
std::unique_ptr<IEventAction> MakeEventAction(const _stringx&)
{
    return nullptr;
}

int ParseEventType(const _stringx& elementName)
{
    // In the order of their type numbers.
    static constexpr const wchar_t* kEventNames[] = {
        L"OnBegin",          L"OnResuming",          L"OnStaging",          L"OnStaged",
        L"OnParcelsInstalling", L"OnParcelsInstalled", L"OnRebooting",      L"OnEnd",
        L"OnParcelConfiguring", L"OnParcelConfigured",
    };
    const _wstringx name = elementName.to_wstringx();
    for (int type = 0; type < static_cast<int>(std::size(kEventNames)); ++type) {
        if (name == kEventNames[type])
            return type;
    }
    return kNoEventType;
}
