#include "ChipBlockCrcs.h"

#include "Panels.h"
#include "Vantrel_Kelto_uir.h"

namespace {

constexpr int kExpertPage = 2;
constexpr int kSecondExpertPage = 3;

} // namespace

void CheckCRCs(const calvista::CrcReport &report)
{
    if (report.dorvel) {
        const int mismatch = report.dorvel->Mismatch() ? 1 : 0;
        SetCtrlVal(GetTabPanel(kExpertPage), TAB_EXPERT_DORVEL_CRC_ERROR, mismatch);
        SetCtrlVal(GetTabPanel(kSecondExpertPage), TAB_EXP_2_DORVEL_CRC_ERROR_EXP2, mismatch);
    }
    if (report.pellin)
        SetCtrlVal(GetTabPanel(kSecondExpertPage), TAB_EXP_2_PELLIN_CRC_ERROR_EXP2, report.pellin->Mismatch() ? 1 : 0);
}

void ShowCRCs(const calvista::CrcReport &report)
{
    CheckCRCs(report);
    if (report.dorvel) {
        SetCtrlVal(GetTabPanel(kExpertPage), TAB_EXPERT_DORVEL_CRC, report.dorvel->stored);
        SetCtrlVal(GetTabPanel(kSecondExpertPage), TAB_EXP_2_DORVEL_CRC_EXP2, report.dorvel->stored);
    }
    if (report.pellin)
        SetCtrlVal(GetTabPanel(kSecondExpertPage), TAB_EXP_2_PELLIN_CRC_EXP2, report.pellin->stored);
}
