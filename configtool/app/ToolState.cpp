#include "ToolState.h"

std::uint8_t g_expertStart = 0;
std::uint8_t g_expertMode = 0;
std::uint8_t g_calibPanelShown = 0;
std::uint8_t g_paramFileShown = 0;
std::uint8_t g_fileDialogUsed = 0;
std::uint8_t g_sarvikInterface = 0;
std::uint8_t g_absoluteQuadrature = 0;
std::uint8_t g_reading = 0;
std::uint8_t g_creditReleases = 0;

void ResetToolState()
{
    g_expertStart = 0;
    g_expertMode = 0;
    g_calibPanelShown = 0;
    g_paramFileShown = 0;
    g_fileDialogUsed = 0;
    g_sarvikInterface = 0;
    g_absoluteQuadrature = 0;
    g_reading = 0;
    g_creditReleases = 0;
}
