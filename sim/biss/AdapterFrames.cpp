#include "AdapterFrames.h"

namespace sim::biss::adapter {

std::optional<Request> ParseRequest(const uint8_t *data, size_t length)
{
    if (length < 8)
        return std::nullopt;
    const size_t pairBytes = data[0];
    if (pairBytes % 2 != 0 || length != pairBytes + 8 || data[1] != 0)
        return std::nullopt;
    for (size_t i = 0; i < 4; ++i)
        if (data[4 + pairBytes + i] != 0xFF)
            return std::nullopt;
    const uint8_t command = data[2];
    if (command != kCommandRead && command != kCommandWrite && command != kCommandStream)
        return std::nullopt;
    Request request;
    request.command = command;
    request.options = data[3];
    for (size_t i = 0; i < pairBytes; i += 2)
        request.pairs.push_back({data[4 + i], data[5 + i]});
    return request;
}

std::vector<uint8_t> BuildRequest(uint8_t command, uint8_t options, const std::vector<RegisterPair> &pairs)
{
    std::vector<uint8_t> out = {static_cast<uint8_t>(2 * pairs.size()), 0, command, options};
    for (const auto &pair : pairs) {
        out.push_back(pair.address);
        out.push_back(pair.value);
    }
    out.insert(out.end(), 4, 0xFF);
    return out;
}

std::vector<uint8_t> BuildResponse(const Request &request, uint8_t status,
                                   const std::vector<RegisterPair> &pairs)
{
    std::vector<uint8_t> out = {static_cast<uint8_t>(2 * pairs.size()), 0, request.command,
                                request.options, 0, status};
    for (const auto &pair : pairs) {
        out.push_back(pair.address);
        out.push_back(pair.value);
    }
    out.insert(out.end(), 2, 0xFF);
    return out;
}

std::vector<uint8_t> BuildStreamFrame(const Request &request, uint32_t frameNumber, uint8_t status,
                                      const std::vector<RegisterPair> &pairs)
{
    std::vector<uint8_t> out = {static_cast<uint8_t>(2 * pairs.size()), 0, request.command, request.options};
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(frameNumber >> shift));
    out.push_back(0);
    out.push_back(status);
    for (const auto &pair : pairs) {
        out.push_back(pair.address);
        out.push_back(pair.value);
    }
    out.insert(out.end(), 4, 0xFF);
    return out;
}

} // namespace sim::biss::adapter
