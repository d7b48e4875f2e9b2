#pragma once

// One entry of a feature's Install attribute: a parcel id, or a parcel id, a
// colon and the name of a feature inside that parcel's package.

#include "kr/stringx.h"

struct ParcelMapping {
    _stringx parcelId;
    // Empty without one.
    _stringx packageFeature;
    bool hasPackageFeature = false;
};

// Split at the first ":".
ParcelMapping SplitParcelMapping(const _stringx& entry);
