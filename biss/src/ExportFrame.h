// The frame every handle-taking export shares: handle test, the master's
// operation, its non-zero code entered in the handle's error history.
#pragma once

#include "HandleTable.h"
#include "ferrolink.h"

namespace ferrolink {

template <class Operation>
int CallMaster(BISS_U32 handle, Operation operation)
{
    BissMasterClass *master = BissHandleTable::Instance().Find(handle);
    if (master == nullptr)
        return eBISS_INVALID_HANDLE;
    int result = eBISS_NO_ERROR;
    // No exception may cross the export boundary; one that reaches here
    // comes from a failed adapter transfer.
    try {
        result = operation(*master);
    } catch (...) {
        result = eBISS_USB_CONNECTION;
    }
    return static_cast<int>(master->RecordError(static_cast<uint32_t>(result)));
}

// Getters leave 0 in their output whatever happens next.
inline void ClearOutput(BISS_U32 *value)
{
    if (value != nullptr)
        *value = 0;
}

// A getter of one value: 0 in the output first, the value only on success.
template <class Getter>
int CallGetter(BISS_U32 handle, BISS_U32 *output, Getter get)
{
    ClearOutput(output);
    return CallMaster(handle, [&](BissMasterClass &master) {
        if (output == nullptr)
            return static_cast<int>(eBISS_INVALID_PARAMETER);
        uint32_t value = 0;
        const int result = get(master, &value);
        if (result == eBISS_NO_ERROR)
            *output = value;
        return result;
    });
}

} // namespace ferrolink
