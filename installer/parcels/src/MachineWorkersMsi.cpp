// The proxy's work for request 2: the package runs through the system's
// msi.dll, its messages going back to the engine over the pipe.

#include "parcels/EmbeddedMSIHandler.h"
#include "parcels/MachineWorkers.h"
#include "parcels/ProxyHandler.h"

DWORD CMachineWorkers::InstallMsi(CProxyHandler& pipe, const MsiInstallRequest& request)
{
    return RunEmbeddedMsiInstall(pipe, request, SystemMsiFunctions());
}
