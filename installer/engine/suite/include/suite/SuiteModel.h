#pragma once

// What the setup.xml reader builds for the engine: the suite's transactions,
// parcels, features, install modes, setup-level property setters and abort
// conditions, and the automation collections made from them on first use.
// The engine owns the model for the whole run; setters are applied and
// dropped during initialisation.

#include <memory>
#include <vector>

#include <com/ComPtr.h>

#include "automation/RefCollection.h"
#include "parcels/AbortCondition.h"
#include "parcels/Feature.h"
#include "parcels/Parcel.h"
#include "parcels/Transaction.h"
#include "properties/PropertySetter.h"
#include "suite/ProxySlots.h"
#include "suitemodel/InstallMode.h"

struct CSuiteModel {
    // The proxies; first, so that they end after everything that may use them.
    CProxySlots proxies;
    std::vector<std::unique_ptr<CTransaction>> transactions;
    std::vector<com::ComPtr<CParcel>> parcels;
    // Every feature of the selection tree, which keeps them alive; the
    // features link their children without references.
    std::vector<com::ComPtr<CFeature>> features;
    std::vector<CFeature*> topLevelFeatures;
    std::vector<std::unique_ptr<CInstallMode>> installModes;
    std::vector<std::unique_ptr<CPropertySetter>> propertySetters;
    std::vector<std::unique_ptr<CAbortCondition>> abortConditions;
    // The transaction the reader is inside of; not owned.
    CTransaction* openTransaction = nullptr;
    // Made on the first read of the engine's Parcels and Features properties.
    com::ComPtr<com::Object<CParcelCollection>> parcelCollection;
    com::ComPtr<com::Object<CFeatureCollection>> featureCollection;
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
