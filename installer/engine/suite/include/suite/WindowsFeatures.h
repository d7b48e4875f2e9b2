#pragma once

// What the run needs of the Windows-features objects: the suite's definitions
// turn a parcel's item names into the optional features of the running
// system, and the install step turns that list on. The engine holds none
// until the definitions are read; tests put a recorder in.

#include <windows.h>

#include "kr/stringx.h"

class IWindowsFeatures {
public:
    virtual ~IWindowsFeatures() = default;
    // The final feature list of the items (both separated by ";"); empty when there is nothing to install.
    virtual _wstringx GetFeatureList(const _wstringx& itemNames) = 0;
    // Installs the list for the parcel of that display name; rebootNeeded is set
    // when the features take effect only after a restart.
    virtual HRESULT Install(const _wstringx& featureList, const _stringx& parcelName, bool& rebootNeeded) = 0;
};
