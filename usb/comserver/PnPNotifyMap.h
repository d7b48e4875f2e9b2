// The process-wide map from device interface class to its one notifier.
#pragma once

#include "ThreadPnPNotify.h"

#include <com/Lock.h>

#include <list>
#include <memory>

class CPnPNotifyMap {
public:
    CPnPNotifyMap() = default;
    CPnPNotifyMap(const CPnPNotifyMap &) = delete;
    CPnPNotifyMap &operator=(const CPnPNotifyMap &) = delete;
    // Notifiers still in the map are neither stopped nor destroyed: this runs at
    // unload, under the loader lock, where no thread may be waited for.
    ~CPnPNotifyMap();

    // Appends an entry; an entry for the same class is not looked for.
    bool Add(const GUID &interfaceClass, std::shared_ptr<CThreadPnPNotify> notifier);
    // The first entry of the class; true when it holds a notifier.
    bool Find(const GUID &interfaceClass, std::shared_ptr<CThreadPnPNotify> &notifier);
    // As Find, and the entry leaves the map.
    bool Remove(const GUID &interfaceClass, std::shared_ptr<CThreadPnPNotify> &notifier);

private:
    struct Entry {
        GUID interfaceClass;
        std::shared_ptr<CThreadPnPNotify> notifier;
    };

    com::CriticalSection lock_;
    std::list<Entry> entries_;
};

CPnPNotifyMap &ThePnPNotifyMap();
