#pragma once

// One group of parcels that the engine runs together: a Transaction element
// of setup.xml, or the implicit group of one parcel read outside any. Its
// parcels run in order, inside one Windows Installer transaction when all of
// them allow it, in this process or in the proxy that runs parcels needing
// elevation or 64-bit Windows; a failure rolls them back together.

#include <algorithm>
#include <vector>

#include "parcels/MsiFunctions.h"
#include "properties/Properties.h"

class CParcel;
class IProxyConnection;

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
    // Removal in the reverse of the install order.
    void ReverseParcels() { std::reverse(m_parcels.begin(), m_parcels.end()); }

    // Sets the three flags below from the parcels and logs them.
    void Examine();
    bool IsInstalling() const noexcept { return m_installing; }
    bool IsElevationNeeded() const noexcept { return m_needsElevation; }
    bool HasAny64Bit() const noexcept { return m_any64Bit; }
    // A parcel that will act requires elevation the launcher lacks.
    bool NeedsElevation() const;

    // S_FALSE when no parcel acts; a failure to begin; else the status of the
    // last parcel that ran. An exception of a parcel's run passes after the
    // transaction is rolled back.
    HRESULT Run();
    // The same with another table of msi.dll's functions.
    HRESULT Run(const MsiFunctions& msi);

private:
    HRESULT RunOutOfProcess(IProxyConnection& proxy);
    HRESULT RunInProcess(const MsiFunctions& msi);
    // Runs the parcels from a starting status; the status of the last one
    // that ran, failed set when it failed.
    HRESULT RunParcels(HRESULT status, bool& failed);

    bool m_msiTransaction;
    std::vector<CParcel*> m_parcels;
    bool m_installing = false;
    bool m_needsElevation = false;
    bool m_any64Bit = false;
};
