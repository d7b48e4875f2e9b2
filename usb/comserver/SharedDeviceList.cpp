#include "SharedDeviceList.h"

#include "ServerStatus.h"

#include "SetupApiLoader.h"

namespace {

// Indexes that fail with an error other than "no more items" are counted, as
// the setup API may skip a broken interface; this many in a row end the count.
const DWORD kMaxConsecutiveFailures = 64;

} // namespace

CSharedDeviceList &CSharedDeviceList::Instance()
{
    static CSharedDeviceList list;
    return list;
}

// The last worker destroys the list; one still here at unload belongs to
// objects never released, and the setup API may already be gone: leave it.
CSharedDeviceList::~CSharedDeviceList() = default;

LONG CSharedDeviceList::Rebuild(const GUID &interfaceClass)
{
    com::ScopedLock lock(lock_);
    if (list_) {
        dravio::CDravio::FreeDeviceList(list_);
        list_ = nullptr;
    }
    list_ = dravio::CDravio::BuildDeviceList(&interfaceClass);
    interfaceClass_ = interfaceClass;
    return list_ ? CountInterfaces() : -1;
}

void CSharedDeviceList::Destroy()
{
    com::ScopedLock lock(lock_);
    if (list_) {
        dravio::CDravio::FreeDeviceList(list_);
        list_ = nullptr;
    }
}

DWORD CSharedDeviceList::Open(dravio::CDravio &device, int number)
{
    com::ScopedLock lock(lock_);
    if (!list_) {
        return DRAVIOCOM_NOT_ENUMERATED;
    }
    return device.OpenByNumber(number, list_, &interfaceClass_, false);
}

LONG CSharedDeviceList::CountInterfaces()
{
    // The list came from the setup API the class library loaded, so it is there.
    const dravio::SetupApiEntries *api = dravio::CSetupApiLoader::Instance().Load();
    if (!api) {
        return 0;
    }
    DWORD failuresInARow = 0;
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA data = {};
        data.cbSize = sizeof(data);
        if (api->EnumDeviceInterfaces(list_, nullptr, &interfaceClass_, index, &data)) {
            failuresInARow = 0;
            continue;
        }
        if (GetLastError() == ERROR_NO_MORE_ITEMS) {
            return static_cast<LONG>(index);
        }
        if (++failuresInARow >= kMaxConsecutiveFailures) {
            return static_cast<LONG>(index + 1);
        }
    }
}
