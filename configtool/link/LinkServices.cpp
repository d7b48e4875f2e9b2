#include "LinkServices.h"
#include "LinkPauses.h"

#include <windows.h>

namespace {

SensorLinkServices g_services;

unsigned Milliseconds(double seconds)
{
    const double milliseconds = seconds * 1000.0;
    return milliseconds >= 1.0 ? static_cast<unsigned>(milliseconds) : 0u;
}

} // namespace

void SetSensorLinkServices(const SensorLinkServices &services)
{
    g_services = services;
}

void ProcessLinkEvents()
{
    if (g_services.processEvents != nullptr)
        g_services.processEvents();
}

void PauseLink(double seconds)
{
    const unsigned milliseconds = Milliseconds(seconds);
    if (milliseconds == 0)
        return;
    if (g_services.sleep != nullptr)
        g_services.sleep(milliseconds);
    else
        Sleep(milliseconds);
}

void PauseLinkWithEvents(double seconds)
{
    if (g_services.delayWithEvents != nullptr) {
        g_services.delayWithEvents(seconds);
        return;
    }
    ProcessLinkEvents();
    PauseLink(seconds);
}

void ShowLinkProgress(int percent)
{
    if (g_services.setProgress != nullptr)
        g_services.setProgress(percent);
}
