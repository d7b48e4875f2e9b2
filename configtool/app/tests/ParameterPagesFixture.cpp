#include "ParameterPagesFixture.h"

#include <utility>

#include "FieldPacking.h"
#include "FirmwareSpecifics.h"
#include "KeltoCrc.h"
#include "Panels.h"
#include "ParameterPages.h"
#include "RegisterImage.h"
#include "SensorLinkState.h"
#include "SensorMemoryMap.h"
#include "Vantrel_Kelto_uir.h"

namespace {

struct Block {
    std::uint16_t start;
    std::uint16_t count;
};

// The connection's full read: system and chip blocks, material number, firmware and parameter
// version, identifier, serial number parts, type code, order code, work time, modification flag.
constexpr Block kReadBlocks[] = {{0, 96},  {208, 23}, {196, 8}, {401, 6}, {371, 8},
                                 {397, 4}, {407, 40}, {447, 7}, {8, 6},   {659, 1}};

} // namespace

ParameterPagesTest::ParameterPagesTest()
    : sys(GetTabPanel(0)), position(GetTabPanel(1)), expert(GetTabPanel(2))
{
}

void ParameterPagesTest::Connect(const std::function<void(Eeprom &)> &patch)
{
    Connect(sim::kelto::KeltoModel{}, patch);
}

void ParameterPagesTest::Connect(const sim::kelto::KeltoModel &model, const std::function<void(Eeprom &)> &patch)
{
    eeprom = sim::kelto::BuildFactoryImage(model);
    if (patch)
        patch(eeprom);
    calvista::InitAllDatabuffers();
    for (const Block &block : kReadBlocks) {
        for (std::uint16_t address = block.start; address < block.start + block.count; ++address)
            calvista::UpdateBuffers(calvista::ImageIndexForRead(address), 0, eeprom[address]);
    }
    calvista::SysCfgvectorToRegfields();
    calvista::DorvelCfgvectorToRegfields();
    const bool ssi = (eeprom[0x10] & 1) != 0;
    g_link.protocol = ssi ? kProtocolSsi : kProtocolBiss;

    Visualize();
    SetCtrlAttribute(sys, TAB_SYS_WRITE_CFG, ATTR_DIMMED, 1);
    SetFwVerSpecific(true, false, false);
    if (ssi) {
        SetFwVerSpecific(false, false, true);
        SetSSIParamsFromBitlength();
    } else {
        g_link.scdClockDivider = 1;
        SetFwVerSpecific(false, true, false);
    }
    SetCtrlAttribute(sys, TAB_SYS_SSI_LENGTH, ATTR_VISIBLE, ssi ? 1 : 0);
    SetCtrlAttribute(sys, TAB_SYS_BISS_LENGTH, ATTR_VISIBLE, ssi ? 0 : 1);
    for (int control : {TAB_SYS_SSI_LENGTH, TAB_SYS_SSI_CODING, TAB_SYS_SSI_VALUE})
        SetCtrlAttribute(sys, control, ATTR_DIMMED, ssi ? 0 : 1);
}

void ParameterPagesTest::SealDorvelBlock(Eeprom &image)
{
    image[0x3F] = sim::kelto::DorvelBlockCrc(&image[0x30]);
}

void ParameterPagesTest::Choose(int pageIndex, int control, double value)
{
    ASSERT_EQ(driver.SelectTab(g_mainPanel, MAIN_PANEL_TABS, pageIndex), cvi::InputStatus::Accepted);
    ASSERT_EQ(driver.SetValue(GetTabPanel(pageIndex), control, value), cvi::InputStatus::Accepted)
        << "control " << control << " of page " << pageIndex << " := " << value;
}

bool ParameterPagesTest::WriteEnabled() const
{
    return !Dimmed(sys, TAB_SYS_WRITE_CFG);
}

double ParameterPagesTest::Number(int panel, int control) const
{
    double value = 0.0;
    GetCtrlVal(panel, control, &value);
    return value;
}

std::uint8_t ParameterPagesTest::ImageByte(std::uint16_t address)
{
    return calvista::ImageByte(address);
}
