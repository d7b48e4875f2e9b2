#include "HandleTable.h"

#include "ferrolink.h"

namespace ferrolink {

BissHandleTable &BissHandleTable::Instance()
{
    static BissHandleTable table;
    return table;
}

int BissHandleTable::Open(uint32_t *handle)
{
    if (count_ >= kSlots)
        return eBISS_TOO_MANY_HANDLES;
    objects_[count_] = std::make_unique<BissMasterClass>();
    *handle = ++count_;
    return eBISS_NO_ERROR;
}

void BissHandleTable::Close(uint32_t handle)
{
    objects_[handle - 1].reset();
    if (handle == count_)
        --count_;
}

BissMasterClass *BissHandleTable::Find(uint32_t handle) const
{
    const uint32_t slot = handle - 1u;
    return slot < kSlots ? objects_[slot].get() : nullptr;
}

} // namespace ferrolink
