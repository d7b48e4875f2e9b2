#pragma once

// What the setup.xml reader builds for the engine: the suite's transactions,
// parcels, install modes, setup-level property setters and abort conditions.
// The engine owns the model for the whole run; setters are applied and
// dropped during initialisation.

#include <memory>
#include <vector>

#include <com/ComPtr.h>

#include "parcels/AbortCondition.h"
#include "parcels/Parcel.h"
#include "parcels/Transaction.h"
#include "properties/PropertySetter.h"
#include "suitemodel/InstallMode.h"

struct CSuiteModel {
    std::vector<std::unique_ptr<CTransaction>> transactions;
    std::vector<com::ComPtr<CParcel>> parcels;
    std::vector<std::unique_ptr<CInstallMode>> installModes;
    std::vector<std::unique_ptr<CPropertySetter>> propertySetters;
    std::vector<std::unique_ptr<CAbortCondition>> abortConditions;
    // The transaction the reader is inside of; not owned.
    CTransaction* openTransaction = nullptr;
};

[[noreturn]] void ThrowModelEntryMissing();

// The entry's object of a list that may hold a null entry, which no walker
// may dereference: throws com_exception E_OUTOFMEMORY for it.
template <class P>
auto& ModelEntry(const P& pointer)
{
    if (!pointer)
        ThrowModelEntryMissing();
    return *pointer;
}
