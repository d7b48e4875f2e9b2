#include "ValueRules.h"

#include <cfloat>
#include <cmath>
#include <cstdint>

#include "cvi/UserInterface.h"
#include "TextTokens.h"

namespace cvi {

namespace {

struct TypeInfo {
    int dataType;
    const char *keyword;
    ValueRange range;
    int bits; // 0 for floating point
    bool isSigned;
};

constexpr TypeInfo kTypes[] = {
    {VAL_CHAR, "char", {-128.0, 127.0}, 8, true},
    {VAL_UNSIGNED_CHAR, "uchar", {0.0, 255.0}, 8, false},
    {VAL_SHORT_INTEGER, "short", {-32768.0, 32767.0}, 16, true},
    {VAL_UNSIGNED_SHORT_INTEGER, "ushort", {0.0, 65535.0}, 16, false},
    {VAL_INTEGER, "int", {-2147483648.0, 2147483647.0}, 32, true},
    {VAL_UNSIGNED_INTEGER, "uint", {0.0, 4294967295.0}, 32, false},
    {VAL_FLOAT, "float", {-FLT_MAX, FLT_MAX}, 0, true},
    {VAL_DOUBLE, "double", {-DBL_MAX, DBL_MAX}, 0, true},
};

const TypeInfo *Find(int dataType)
{
    for (const TypeInfo &info : kTypes) {
        if (info.dataType == dataType)
            return &info;
    }
    return nullptr;
}

} // namespace

bool IsKnownDataType(int dataType)
{
    return Find(dataType) != nullptr;
}

bool IsIntegerType(int dataType)
{
    const TypeInfo *info = Find(dataType);
    return info && info->bits != 0;
}

ValueRange DataTypeRange(int dataType)
{
    const TypeInfo *info = Find(dataType);
    return info ? info->range : ValueRange{-DBL_MAX, DBL_MAX};
}

std::optional<int> DataTypeFromKeyword(std::string_view keyword)
{
    for (const TypeInfo &info : kTypes) {
        if (EqualsNoCase(keyword, info.keyword))
            return info.dataType;
    }
    return std::nullopt;
}

const char *DataTypeKeyword(int dataType)
{
    const TypeInfo *info = Find(dataType);
    return info ? info->keyword : "double";
}

double ConvertToDataType(double value, int dataType)
{
    const TypeInfo *info = Find(dataType);
    if (!info || std::isnan(value))
        return info && info->bits ? 0.0 : value;
    if (info->bits == 0)
        return info->dataType == VAL_FLOAT ? static_cast<double>(static_cast<float>(value)) : value;
    // Truncate, then keep the low bits as two's complement does.
    const double truncated = std::trunc(value);
    if (std::fabs(truncated) >= 9.2e18)
        return 0.0;
    const std::uint64_t mask = (std::uint64_t{1} << info->bits) - 1;
    const std::uint64_t bits = static_cast<std::uint64_t>(static_cast<std::int64_t>(truncated)) & mask;
    if (info->isSigned && (bits >> (info->bits - 1)) != 0)
        return static_cast<double>(static_cast<std::int64_t>(bits) - static_cast<std::int64_t>(mask) - 1);
    return static_cast<double>(bits);
}

double ReadArrayElement(const void *array, int dataType, int index)
{
    switch (dataType) {
    case VAL_CHAR: return static_cast<const signed char *>(array)[index];
    case VAL_UNSIGNED_CHAR: return static_cast<const unsigned char *>(array)[index];
    case VAL_SHORT_INTEGER: return static_cast<const std::int16_t *>(array)[index];
    case VAL_UNSIGNED_SHORT_INTEGER: return static_cast<const std::uint16_t *>(array)[index];
    case VAL_INTEGER: return static_cast<const std::int32_t *>(array)[index];
    case VAL_UNSIGNED_INTEGER: return static_cast<const std::uint32_t *>(array)[index];
    case VAL_FLOAT: return static_cast<const float *>(array)[index];
    default: return static_cast<const double *>(array)[index];
    }
}

} // namespace cvi
