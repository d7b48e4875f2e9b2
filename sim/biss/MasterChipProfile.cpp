#include "MasterChipProfile.h"

namespace sim::biss {

namespace {
// What a chip with id bit 7 set shows in 0xEA before it has been cleared.
constexpr uint8_t kUnclearedRevision = 0x01;
} // namespace

MasterChipProfile MasterChipProfile::Chip52Rev4()
{
    MasterChipProfile p;
    p.chipId = 0x52;
    p.revision = 4;
    p.channels = 8;
    p.controlBitInLineRegister = true;
    return p;
}

MasterChipProfile MasterChipProfile::Chip83Legacy()
{
    MasterChipProfile p;
    p.chipId = 0x83;
    p.revision = 0;
    p.revisionBeforeClear = kUnclearedRevision;
    p.channels = 3;
    p.legacyLayout = true;
    return p;
}

MasterChipProfile MasterChipProfile::Chip84()
{
    MasterChipProfile p;
    p.chipId = 0x84;
    p.revision = 0;
    p.revisionBeforeClear = kUnclearedRevision;
    p.channels = 8;
    return p;
}

MasterChipProfile MasterChipProfile::Chip48Rev3()
{
    MasterChipProfile p;
    p.chipId = 0x48;
    p.revision = 3;
    p.channels = 6;
    return p;
}

MasterChipProfile MasterChipProfile::Chip48Rev2()
{
    MasterChipProfile p = Chip48Rev3();
    p.revision = 2;
    return p;
}

} // namespace sim::biss
