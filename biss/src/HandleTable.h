// The process-wide table of open masters. Handle = slot + 1; a closed slot below
// the top stays a hole, only the top slot is handed out again.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "BissMaster.h"

namespace ferrolink {

class BissHandleTable {
public:
    static constexpr uint32_t kSlots = 256;

    // A new master in the next slot; 0 on success, 1 when every slot is taken.
    int Open(uint32_t *handle);
    // Destroys the master of an open handle and frees its slot.
    void Close(uint32_t handle);
    // The master of an open handle, or null.
    BissMasterClass *Find(uint32_t handle) const;
    uint32_t Count() const { return count_; }

    static BissHandleTable &Instance();

private:
    std::array<std::unique_ptr<BissMasterClass>, kSlots> objects_;
    uint32_t count_ = 0;
};

} // namespace ferrolink
