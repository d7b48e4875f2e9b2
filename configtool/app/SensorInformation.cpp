#include "SensorInformation.h"

#include <cstdio>

#include "Languages.h"
#include "Panels.h"
#include "RegisterFields.h"
#include "Vantrel_Kelto_uir.h"

void SetVantrelApplicationType()
{
    using calvista::SysField;
    const int poles = calvista::SysRegField(SysField::NUM_OF_POLES_REG_H).value * 256 +
                      calvista::SysRegField(SysField::NUM_OF_POLES_REG_L).value;
    if (poles == 0) {
        SetLocalizedNotification(51, kSlotApplicationType);
        return;
    }
    SetLocalizedNotification(52, kSlotApplicationType);
    // The slot now holds entry 52 of the active table; the same text serves as the format.
    char text[50] = {};
    std::snprintf(text, sizeof text, MessageText(52), poles);
    SetCtrlVal(g_mainPanel, MAIN_PANEL_VANTREL_APP_TYPE, text);
}
