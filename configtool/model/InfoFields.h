// The product and service information of the encoder: named text fields of the register image.
#pragma once

#include "InfoFieldList.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace calvista {

struct InfoField {
    std::string_view name;
    std::uint16_t address;  // first sensor address
    std::uint16_t length;   // characters, one per address
};

#define CALVISTA_INFO_ENUMERATOR(name, address, length) name,
enum class ProdInfo : std::size_t { CALVISTA_PROD_INFO_FIELDS(CALVISTA_INFO_ENUMERATOR) };
enum class ServiceInfo : std::size_t { CALVISTA_SERVICE_INFO_FIELDS(CALVISTA_INFO_ENUMERATOR) };
#undef CALVISTA_INFO_ENUMERATOR

#define CALVISTA_INFO_RECORD(name, address, length) InfoField{#name, address, length},
inline constexpr std::array ProdInfoTable{CALVISTA_PROD_INFO_FIELDS(CALVISTA_INFO_RECORD)};
inline constexpr std::array ServiceInfoTable{CALVISTA_SERVICE_INFO_FIELDS(CALVISTA_INFO_RECORD)};
#undef CALVISTA_INFO_RECORD

constexpr const InfoField &ProdInfoField(ProdInfo field)
{
    return ProdInfoTable[static_cast<std::size_t>(field)];
}

constexpr const InfoField &ServiceInfoField(ServiceInfo field)
{
    return ServiceInfoTable[static_cast<std::size_t>(field)];
}

// The field's characters as the image holds them: the low byte of each cell, `length` of them
// (zero bytes included; a never-read cell gives 0xFF).
std::string InfoFieldText(const InfoField &field);

} // namespace calvista
