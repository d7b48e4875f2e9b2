#include "UsbAdapterFrames.h"

namespace ferrolink::usbadapter {

std::vector<uint8_t> BuildRequest(uint8_t command, uint8_t options, const RegisterPair *pairs, uint32_t count)
{
    std::vector<uint8_t> frame;
    frame.reserve(2 * count + 8);
    frame.push_back(static_cast<uint8_t>(2 * count));
    frame.push_back(0);
    frame.push_back(command);
    frame.push_back(options);
    for (uint32_t i = 0; i < count; ++i) {
        frame.push_back(pairs[i].address);
        frame.push_back(pairs[i].value);
    }
    frame.insert(frame.end(), 4, 0xFF);
    return frame;
}

} // namespace ferrolink::usbadapter
