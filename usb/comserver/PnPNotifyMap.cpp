#include "PnPNotifyMap.h"

#include <algorithm>
#include <cstring>

namespace {

bool SameClass(const GUID &a, const GUID &b)
{
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

} // namespace

CPnPNotifyMap::~CPnPNotifyMap()
{
    com::ScopedLock lock(lock_);
    for (Entry &entry : entries_) {
        if (entry.notifier) {
            // Deliberately abandoned: its thread may still be using it.
            static_cast<void>(new std::shared_ptr<CThreadPnPNotify>(std::move(entry.notifier)));
        }
    }
}

bool CPnPNotifyMap::Add(const GUID &interfaceClass, std::shared_ptr<CThreadPnPNotify> notifier)
{
    com::ScopedLock lock(lock_);
    try {
        entries_.push_back({interfaceClass, std::move(notifier)});
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

bool CPnPNotifyMap::Find(const GUID &interfaceClass, std::shared_ptr<CThreadPnPNotify> &notifier)
{
    com::ScopedLock lock(lock_);
    auto found = std::find_if(entries_.begin(), entries_.end(),
                              [&](const Entry &e) { return SameClass(e.interfaceClass, interfaceClass); });
    notifier = found != entries_.end() ? found->notifier : nullptr;
    return notifier != nullptr;
}

bool CPnPNotifyMap::Remove(const GUID &interfaceClass, std::shared_ptr<CThreadPnPNotify> &notifier)
{
    com::ScopedLock lock(lock_);
    auto found = std::find_if(entries_.begin(), entries_.end(),
                              [&](const Entry &e) { return SameClass(e.interfaceClass, interfaceClass); });
    if (found == entries_.end()) {
        notifier = nullptr;
        return false;
    }
    notifier = std::move(found->notifier);
    entries_.erase(found);
    return notifier != nullptr;
}

CPnPNotifyMap &ThePnPNotifyMap()
{
    static CPnPNotifyMap map;
    return map;
}
