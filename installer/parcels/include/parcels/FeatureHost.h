#pragma once

// What a feature reaches of the engine beside its services: the suite's
// parcels by id, which features stand at the top of the tree, and the
// feature's section of the state file. The engine registers itself when it
// is constructed.

#include "kr/stringx.h"

class CParcel;

class IFeatureHost {
public:
    // The parcel with that id (any case), or null.
    virtual CParcel* FindParcel(const _stringx& id) = 0;
    // The feature of that name is a top-level feature of the selection tree.
    virtual bool IsTopLevelFeature(const _stringx& name) = 0;
    // One value of a section of the suite's state file.
    virtual void SaveStateValue(const _stringx& section, const _stringx& key, const _stringx& value) = 0;

protected:
    ~IFeatureHost() = default;
};

IFeatureHost* FeatureHost() noexcept;
void SetFeatureHost(IFeatureHost* host) noexcept;
