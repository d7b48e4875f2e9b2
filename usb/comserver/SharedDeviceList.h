// The process-wide device list of the last EnumerateDevices, shared by every
// object of the process and destroyed with the last worker.
#pragma once

#include "Dravio.h"

#include <com/Lock.h>

class CSharedDeviceList {
public:
    static CSharedDeviceList &Instance();

    CSharedDeviceList() = default;
    CSharedDeviceList(const CSharedDeviceList &) = delete;
    CSharedDeviceList &operator=(const CSharedDeviceList &) = delete;
    ~CSharedDeviceList();

    // Destroys the list, builds a new one for the class and keeps the class.
    // Returns the number of device interfaces, or -1 when no list could be built.
    LONG Rebuild(const GUID &interfaceClass);
    void Destroy();
    // Opens device `number` of the list (no API version check); 0xE000A001 when there is no list.
    DWORD Open(dravio::CDravio &device, int number);

private:
    LONG CountInterfaces();

    com::CriticalSection lock_;
    HDEVINFO list_ = nullptr;
    GUID interfaceClass_{};
};
