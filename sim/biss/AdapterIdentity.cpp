#include "AdapterIdentity.h"

namespace sim::biss {

namespace {

void PutWord(std::vector<uint8_t> &out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutInterface(std::vector<uint8_t> &out, uint8_t setting, uint16_t packetSize)
{
    out.insert(out.end(), {9, 4, descriptor::kInterface, setting, 2, 0xFF, 0, 0, 0});
    for (const uint8_t endpoint : {uint8_t{0x81}, uint8_t{0x02}}) {
        out.insert(out.end(), {7, 5, endpoint, 2});
        PutWord(out, packetSize);
        out.push_back(0);
    }
}

} // namespace

std::vector<uint8_t> DeviceDescriptor(const AdapterIdentity &identity)
{
    std::vector<uint8_t> out = {18, 1};
    PutWord(out, 0x0200);
    out.insert(out.end(), {0xFF, 0, 0, 64});
    PutWord(out, identity.vendorId);
    PutWord(out, identity.productId);
    PutWord(out, identity.deviceRelease);
    out.push_back(descriptor::kManufacturerIndex);
    out.push_back(descriptor::kProductIndex);
    out.push_back(identity.serialNumber.empty() ? 0 : descriptor::kSerialNumberIndex);
    out.push_back(1);
    return out;
}

std::vector<uint8_t> StringDescriptor(const AdapterIdentity &identity, uint8_t index)
{
    if (index == 0)
        return {4, 3, 0x07, 0x04}; // German (0x0407)
    const std::string *text = nullptr;
    switch (index) {
    case descriptor::kManufacturerIndex:
        text = &identity.manufacturer;
        break;
    case descriptor::kProductIndex:
        text = &identity.product;
        break;
    case descriptor::kSerialNumberIndex:
        if (!identity.serialNumber.empty())
            text = &identity.serialNumber;
        break;
    default:
        break;
    }
    if (!text)
        return {};
    std::vector<uint8_t> out = {static_cast<uint8_t>(2 + 2 * text->size()), 3};
    for (const char c : *text)
        PutWord(out, static_cast<uint8_t>(c));
    return out;
}

std::vector<uint8_t> ConfigurationDescriptor(const AdapterIdentity &identity)
{
    std::vector<uint8_t> body;
    PutInterface(body, descriptor::kFullSpeedSetting, 64);
    if (identity.highSpeed)
        PutInterface(body, descriptor::kHighSpeedSetting, 512);
    std::vector<uint8_t> out = {9, 2};
    PutWord(out, static_cast<uint16_t>(9 + body.size()));
    out.insert(out.end(), {1, 1, 0, 0x80, 50});
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

} // namespace sim::biss
