// Slave auto-detection without an identification file: channel 0 configured
// from the first slave's electronic data sheet.
#include "SlaveDetection.h"
#include "ferrolink.h"

namespace ferrolink {
namespace {

constexpr uint32_t kFirstSlave = 0;
// A channel long enough for any slave while its data sheet is read.
constexpr uint32_t kReadingLength = 64;
constexpr uint32_t kEdsItems = 4;
// EDS parameters the channel is built from.
constexpr uint32_t kDataLength = 19;
constexpr uint32_t kCrcPolynomial = 23;  // without its top bit and constant term
constexpr uint32_t kMultiturnLength = 75;
constexpr uint32_t kCoarseLength = 77;
constexpr uint32_t kFineLength = 79;

// Smallest k with 2^k >= value (value above 0).
uint32_t CeilLog2(uint32_t value)
{
    uint32_t bits = 0;
    while (bits < 32 && (uint64_t{1} << bits) < value)
        ++bits;
    return bits;
}

// The largest value of a field of that many bits, as one word.
uint32_t FieldRange(uint32_t bitLength)
{
    return bitLength >= 32 ? 0xFFFFFFFFu : (1u << bitLength) - 1u;
}

} // namespace

int SlaveDetection::FromEds(BISS_U32 *configuredChannels)
{
    BissParamClass &params = master_.Params();
    params.SetComParam(eBISS_CP_PROTOCOL, 0);
    master_.SetFrameParam(0, eBISS_FP_SCD_LENGTH, kReadingLength);
    master_.SetFrameParam(0, eBISS_FP_CRC_POLY, 0);
    master_.SetFrameParam(0, eBISS_FP_CRC_INVERT, 0);
    // The set-up's codes are not looked at: the data sheet's read tells
    // whether the slave can be reached.
    master_.WriteMasterParams(false);
    master_.InitBissComm();

    int result = master_.ReadEdsParams(kFirstSlave);
    if (result != eBISS_NO_ERROR)
        return result;

    // A parameter the image cannot hold reads as 0.
    const auto eds = [&params](uint32_t number) {
        uint32_t value = 0;
        params.GetEdsParam(number, &value);
        return value;
    };
    const uint32_t dataLength = eds(kDataLength);
    const uint32_t polynomial = eds(kCrcPolynomial);
    uint32_t crcBits = 0;
    if (polynomial != 0) {
        crcBits = CeilLog2(polynomial);
        master_.SetFrameParam(0, eBISS_FP_CRC_POLY, 2 * polynomial + 1);
        master_.SetFrameParam(0, eBISS_FP_CRC_INVERT, 1);
    } else {
        master_.SetFrameParam(0, eBISS_FP_CRC_POLY, 0);
        master_.SetFrameParam(0, eBISS_FP_CRC_INVERT, 0);
    }
    master_.SetFrameParam(0, eBISS_FP_SCD_LENGTH, dataLength + crcBits);
    result = master_.WriteMasterParams(false);

    if (master_.ContentCount(0, BissParamClass::kUserTable) < kEdsItems)
        master_.ResizeScdContent(0, kEdsItems, BissParamClass::kUserTable);
    // Multiturn, single turn (coarse and fine), error and warning bits; the two
    // flags share the single turn's scale.
    ScdContentClass item;
    item.label = "MT";
    item.bitLength = eds(kMultiturnLength);
    item.value3 = FieldRange(item.bitLength);
    master_.SetScdContentItem(0, 0, item, BissParamClass::kUserTable);
    item.label = "ST";
    item.bitLength = eds(kCoarseLength) + eds(kFineLength);
    item.value3 = FieldRange(item.bitLength);
    master_.SetScdContentItem(0, 1, item, BissParamClass::kUserTable);
    item.label = "nE";
    item.bitLength = 1;
    master_.SetScdContentItem(0, 2, item, BissParamClass::kUserTable);
    item.label = "nW";
    master_.SetScdContentItem(0, 3, item, BissParamClass::kUserTable);

    master_.SetChannelLabel(0, BissMasterClass::kCompleteLabel, "EDS detected", 0, BissParamClass::kUserTable);
    master_.SetChannelLabel(0, BissMasterClass::kSlaveLabel, "EDS detected", 0, BissParamClass::kUserTable);
    *configuredChannels = 1;
    return result;
}

} // namespace ferrolink
