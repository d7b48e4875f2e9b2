#include "HeadlessEvents.h"

namespace cvi {

void HeadlessEvents::Schedule(std::int64_t timeUs, std::function<void()> action)
{
    scheduled_.emplace(timeUs, std::move(action));
}

bool HeadlessEvents::WaitForInput(std::optional<std::int64_t> deadlineUs)
{
    if (!scheduled_.empty() && (!deadlineUs || scheduled_.begin()->first <= *deadlineUs)) {
        auto next = scheduled_.begin();
        clock_.WaitUntil(next->first);
        std::function<void()> action = std::move(next->second);
        scheduled_.erase(next);
        action();
        return true;
    }
    if (!deadlineUs)
        return false;
    clock_.WaitUntil(*deadlineUs);
    return true;
}

} // namespace cvi
