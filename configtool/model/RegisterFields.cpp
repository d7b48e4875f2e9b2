#include "RegisterFields.h"

#include "SensorMemoryMap.h"

#include <array>

namespace calvista {
namespace {

constexpr std::uint32_t DorvelRecordAddress(std::uint32_t sensorAddress)
{
    return kDorvelFieldAddressBase + (sensorAddress - kDorvelBlockAddress);
}

#define CALVISTA_SYS_RECORD(name, address, bitpos, bitlen, start) \
    RegField{#name, address, bitpos, bitlen, start},
#define CALVISTA_DORVEL_RECORD(name, address, bitpos, bitlen, start) \
    RegField{#name, DorvelRecordAddress(address), bitpos, bitlen, start},

std::array<RegField, kSysFieldCount + kDorvelFieldCount> g_fields{{
    CALVISTA_SYS_FIELDS(CALVISTA_SYS_RECORD)
    CALVISTA_DORVEL_FIELDS(CALVISTA_DORVEL_RECORD)
}};

#undef CALVISTA_SYS_RECORD
#undef CALVISTA_DORVEL_RECORD

void ClearValues(std::span<RegField> fields)
{
    for (RegField &field : fields)
        field.value = 0;
}

} // namespace

std::span<RegField, kSysFieldCount> SysFieldTable()
{
    return std::span<RegField, kSysFieldCount>(g_fields.data(), kSysFieldCount);
}

std::span<RegField, kDorvelFieldCount> DorvelFieldTable()
{
    return std::span<RegField, kDorvelFieldCount>(g_fields.data() + kSysFieldCount, kDorvelFieldCount);
}

RegField &SysRegField(SysField field)
{
    return SysFieldTable()[static_cast<std::size_t>(field)];
}

RegField &DorvelRegField(DorvelField field)
{
    return DorvelFieldTable()[static_cast<std::size_t>(field)];
}

RegField *FindRegField(std::string_view name)
{
    for (RegField &field : g_fields) {
        if (field.name == name)
            return &field;
    }
    return nullptr;
}

void ClearSysRegs()
{
    ClearValues(SysFieldTable());
}

void ClearDorvelRegs()
{
    ClearValues(DorvelFieldTable());
}

} // namespace calvista
