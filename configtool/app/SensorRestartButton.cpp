// The second expert page's restart button.
#include "SensorLinkState.h"
#include "SensorPower.h"
#include "Vantrel_Kelto_uir.h"

int RESTART_SENSOR_CB(int, int, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    g_link.lastError = RestartSensor();
    return g_link.lastError;
}
