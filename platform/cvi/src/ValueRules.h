// How numbers are held by the value types of numeric controls and graph data.
#pragma once

#include <optional>
#include <string_view>

namespace cvi {

struct ValueRange {
    double minimum;
    double maximum;
};

bool IsKnownDataType(int dataType);
bool IsIntegerType(int dataType);
ValueRange DataTypeRange(int dataType);
// The data type of a resource keyword ("int", "uint", "ushort", "double", ...).
std::optional<int> DataTypeFromKeyword(std::string_view keyword);
const char *DataTypeKeyword(int dataType);
// What a C conversion to the type gives: integers truncate toward zero and wrap.
double ConvertToDataType(double value, int dataType);
// One element of an array of the given type, as a double.
double ReadArrayElement(const void *array, int dataType, int index);

} // namespace cvi
