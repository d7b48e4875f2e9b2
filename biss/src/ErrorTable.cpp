#include "ErrorTable.h"

#include <array>

namespace ferrolink {
namespace {

constexpr std::array<ErrorTableRow, 26> kRows{{
    {0, "Nothing to Report"},
    {3, "Use the handle returned by the Open function."},
    {4, "Install FTDI interface drivers."},
    {4, "Check wire connections and power supply."},
    {5, "Interface not specified."},
    {3, "Parameter not specified."},
    {3, "Address out of range."},
    {4, "Value out of range."},
    {5, "Check USB to interface connection."},
    {4, "Check if file exists."},
    {4, "Check file format."},
    {5, "Verification failed, check device connection."},
    {5, "Failed communication to BiSS master, check the selected interface."},
    {5, "BiSS communication failed, check wire connections and power supply."},
    {5, "Register communication failed, the slave has rejected the access to the register."},
    {5, "BiSS communication failed, check device connection and frame configuration."},
    {3, "Parameter pulNumberOfBytes > eBISS_MAX_REGCNT value."},
    {5, "Frame Repetition Rate is to high."},
    {4, "High speed USB device plugged into non high speed USB hub."},
    {4, "Slow down the Frame Repetition Rate to reduce the amount of data."},
    {4, "Insufficient permission to access file."},
    {4, "EDS is not used in current EEPROM configuration."},
    {4, "EDS contains invalid values."},
    {4, "EDS checksum error."},
    {5, "Register communication failed, check device connection and frame configuration."},
    {4, "Current number of data channels exeeds the maximum data channel count. (BiSS master dependent)"},
}};

constexpr ErrorTableRow kMissing{5, " Error Text missing!"};

} // namespace

ErrorTableRow LookupError(uint32_t code)
{
    return code < kRows.size() ? kRows[code] : kMissing;
}

} // namespace ferrolink
