// The test engine's proxy/stub set: the two probe interfaces.
#include "proxy_stub_registration.h"

#include "launcher_probe.h"

extern "C" const tagProxyFileInfo launcher_probe_ProxyFileInfo;

namespace {

const tagProxyFileInfo* kFiles[] = {&launcher_probe_ProxyFileInfo, nullptr};
const IID* const kInterfaces[] = {&IID_ILauncherProbe, &IID_ILauncherCounter};

} // namespace

const proxy_stub_set& LauncherProxyStubs()
{
    static const proxy_stub_set set = {kFiles, kInterfaces, sizeof(kInterfaces) / sizeof(kInterfaces[0])};
    return set;
}
