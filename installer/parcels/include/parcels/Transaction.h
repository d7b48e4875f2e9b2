#pragma once

// One group of parcels that the engine runs together: a Transaction element
// of setup.xml, or the implicit group of one parcel read outside any. Its
// parcels may run inside one Windows Installer transaction.

#include <vector>

#include "properties/Properties.h"

class CParcel;

class CTransaction : public CProperties {
public:
    // A Transaction element starts with the flag set, an implicit group without.
    explicit CTransaction(bool msiTransaction) noexcept : m_msiTransaction(msiTransaction) {}

    // Run the parcels inside a Windows Installer transaction; settled for
    // every group once setup.xml is read.
    bool IsMsiTransaction() const noexcept { return m_msiTransaction; }
    void SetMsiTransaction(bool msiTransaction) noexcept { m_msiTransaction = msiTransaction; }

    // In document order; the suite model owns the parcels.
    void AddParcel(CParcel& parcel) { m_parcels.push_back(&parcel); }
    const std::vector<CParcel*>& Parcels() const noexcept { return m_parcels; }

private:
    bool m_msiTransaction;
    std::vector<CParcel*> m_parcels;
};
