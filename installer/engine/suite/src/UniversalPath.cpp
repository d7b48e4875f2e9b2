#include "suite/UniversalPath.h"

#include <winnetwk.h>

#include <vector>

namespace {

NetworkDriveCalls& Calls()
{
    static NetworkDriveCalls calls;
    return calls;
}

constexpr DWORD kFirstBufferSize = 520;

} // namespace

NetworkDriveCalls SetNetworkDriveCalls(NetworkDriveCalls calls)
{
    const NetworkDriveCalls before = Calls();
    Calls() = calls;
    return before;
}

_stringx UniversalPath(const _stringx& path)
{
    if (path.is_unc() || !path.is_drive_path())
        return path;
    const auto driveType = Calls().driveType ? Calls().driveType : &GetDriveTypeW;
    const auto universalName = Calls().universalName ? Calls().universalName : &WNetGetUniversalNameW;
    if (driveType(path.path_root(true).c_str()) != DRIVE_REMOTE)
        return path;

    DWORD size = kFirstBufferSize;
    std::vector<BYTE> buffer(size);
    DWORD result = universalName(path.c_str(), UNIVERSAL_NAME_INFO_LEVEL, buffer.data(), &size);
    if (result == ERROR_MORE_DATA) {
        size += 2;
        buffer.assign(size, 0);
        result = universalName(path.c_str(), UNIVERSAL_NAME_INFO_LEVEL, buffer.data(), &size);
    }
    if (result != NO_ERROR)
        return path;
    const auto* info = reinterpret_cast<const UNIVERSAL_NAME_INFOW*>(buffer.data());
    return info->lpUniversalName ? _stringx(info->lpUniversalName) : path;
}
