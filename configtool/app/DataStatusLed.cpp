#include "DataStatusLed.h"

#include "LiveRead.h"
#include "Panels.h"
#include "ScdDataStatus.h"
#include "SensorLinkState.h"
#include "Vantrel_Kelto_uir.h"

void DisplayVantrel_LED()
{
    const calvista::ScdDataStatus status = calvista::EvaluateScdData(
        g_link.frameLength, g_link.ssiFrameType, g_scd.low[kEncoderChannel], g_scd.high[kEncoderChannel]);
    if (status == calvista::ScdDataStatus::Unknown)
        return;
    const bool good = status == calvista::ScdDataStatus::Good;
    SetCtrlAttribute(g_mainPanel, MAIN_PANEL_MAIN_LED_GREEN, ATTR_VISIBLE, good ? 1 : 0);
    SetCtrlAttribute(g_mainPanel, MAIN_PANEL_MAIN_LED_RED, ATTR_VISIBLE, good ? 0 : 1);
}
