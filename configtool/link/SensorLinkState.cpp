#include "SensorLinkState.h"

SensorLinkState g_link;

void ResetLinkSettings()
{
    const SensorLinkState reset;
    g_link.connected = reset.connected;
    g_link.communicationReady = reset.communicationReady;
    g_link.switchedToBiss = reset.switchedToBiss;
    g_link.protocol = reset.protocol;
    g_link.savedProtocol = reset.savedProtocol;
    g_link.frameLength = reset.frameLength;
    g_link.scdClockDivider = reset.scdClockDivider;
    g_link.registerClockValue = reset.registerClockValue;
    g_link.agsDivider = reset.agsDivider;
}

void SetInterfaceTool()
{
    g_link.interfaceType = eBISS_IF_DRAVIO_A;
}

int CloseInterface(BISS_U32 *handle)
{
    if (handle == nullptr || *handle == 0) {
        g_link.lastError = 0;
        return 0;
    }
    g_link.lastError = BISS_Close(*handle);
    if (g_link.lastError == 0)
        *handle = 0;
    return g_link.lastError;
}
