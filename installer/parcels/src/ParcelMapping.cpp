#include "parcels/ParcelMapping.h"

ParcelMapping SplitParcelMapping(const _stringx& entry)
{
    ParcelMapping mapping;
    const size_t colon = entry.find(L':');
    if (colon == _stringx::npos) {
        mapping.parcelId = entry;
        return mapping;
    }
    mapping.parcelId = entry.substr(0, colon);
    mapping.packageFeature = entry.substr(colon + 1);
    mapping.hasPackageFeature = true;
    return mapping;
}
