#include "SimDevice.h"

#include "Request.h"

namespace dravio::sim {

Pipe *SimDevice::FindPipe(uint8_t address)
{
    for (Pipe &p : pipes)
        if (p.endpoint.address == address)
            return &p;
    return nullptr;
}

Pipe *SimDevice::BoundPipe(uint32_t handle)
{
    for (Pipe &p : pipes)
        if (p.boundHandle == handle)
            return &p;
    return nullptr;
}

bool SimDevice::HasPending(uint8_t endpoint) const
{
    return PendingOn(endpoint) != 0;
}

uint32_t SimDevice::PendingOn(uint8_t endpoint) const
{
    uint32_t count = 0;
    for (const auto &r : pending)
        if (r->kind != RequestKind::Control && r->endpoint == endpoint)
            ++count;
    return count;
}

std::optional<uint32_t> SimDevice::TakeFailure(std::map<uint32_t, FailureRule> &rules, uint32_t key)
{
    auto it = rules.find(key);
    if (it == rules.end())
        return std::nullopt;
    const uint32_t status = it->second.status;
    if (--it->second.count == 0)
        rules.erase(it);
    return status;
}

std::optional<uint32_t> SimDevice::TakeFailure(std::map<uint8_t, FailureRule> &rules, uint8_t key)
{
    auto it = rules.find(key);
    if (it == rules.end())
        return std::nullopt;
    const uint32_t status = it->second.status;
    if (--it->second.count == 0)
        rules.erase(it);
    return status;
}

} // namespace dravio::sim
