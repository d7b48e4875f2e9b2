// Request 8 in the elevated proxy: the engine's registrar state, prepared
// there, written or removed here.

#include "parcels/MachineWorkers.h"

#include "parcels/MaintenanceRegistrar.h"

DWORD CMachineWorkers::RegisterArp(const ArpRecord& record)
{
    // Only the two operations there are: anything else removes nothing.
    if (record.operation > 1)
        return static_cast<DWORD>(E_INVALIDARG);
    CMaintenanceRegistrar registrar(true, nullptr);
    registrar.TakeRecord(record);
    const HRESULT result = record.operation == 1 ? registrar.Register() : registrar.Unregister();
    return static_cast<DWORD>(result);
}
