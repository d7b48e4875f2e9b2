// The field tables: the working store of every named bit field of the system and Dorvel blocks.
#pragma once

#include "RegisterFieldList.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace calvista {

struct RegField {
    std::string_view name;
    // System fields: byte address of the first bit. Dorvel fields: 0x300000 + offset in the block.
    std::uint32_t address;
    std::uint16_t bitpos;  // 0 = least significant bit
    std::uint16_t bitlen;  // 1-32
    std::int32_t value;    // current value, read and written by the pages; not a default
};

#define CALVISTA_FIELD_ENUMERATOR(name, address, bitpos, bitlen, start) name,
enum class SysField : std::size_t { CALVISTA_SYS_FIELDS(CALVISTA_FIELD_ENUMERATOR) };
enum class DorvelField : std::size_t { CALVISTA_DORVEL_FIELDS(CALVISTA_FIELD_ENUMERATOR) };
#undef CALVISTA_FIELD_ENUMERATOR

inline constexpr std::size_t kSysFieldCount = static_cast<std::size_t>(SysField::SYS_RESERVED_29) + 1;
inline constexpr std::size_t kDorvelFieldCount = static_cast<std::size_t>(DorvelField::DORVEL_CRC_EP2) + 1;
inline constexpr std::uint32_t kDorvelFieldAddressBase = 0x300000;

// Records 0-80 of the module's one field array; the chip records 81-119 follow them and are
// indexed 0-38 on their own.
std::span<RegField, kSysFieldCount> SysFieldTable();
std::span<RegField, kDorvelFieldCount> DorvelFieldTable();

RegField &SysRegField(SysField field);
RegField &DorvelRegField(DorvelField field);

// The record of that name in either table, or nullptr.
RegField *FindRegField(std::string_view name);

// Set the value of every record of their table to 0.
void ClearSysRegs();
void ClearDorvelRegs();

} // namespace calvista
