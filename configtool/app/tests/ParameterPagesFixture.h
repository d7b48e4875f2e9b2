// The parameter pages after a connection: the register image holds what the connection's full
// read takes from a simulated encoder's memory, and the pages show it.
#pragma once

#include <cstdint>
#include <functional>

#include "KeltoFactoryImage.h"
#include "ToolFixture.h"

class ParameterPagesTest : public MainPanelTest {
protected:
    using Eeprom = sim::kelto::EepromImage;

    ParameterPagesTest();

    // Reads the encoder's memory (after patch) into the image block by block as the connection
    // does, unpacks the fields, shows them and sets the pages up for the firmware and protocol.
    void Connect(const sim::kelto::KeltoModel &model, const std::function<void(Eeprom &)> &patch = {});
    void Connect(const std::function<void(Eeprom &)> &patch = {});
    // The Dorvel block's CRC after a patch of its bytes.
    static void SealDorvelBlock(Eeprom &eeprom);

    // The operator opens tab page pageIndex and picks a value; the run-time must accept it.
    void Choose(int pageIndex, int control, double value);

    bool WriteEnabled() const;
    double Number(int panel, int control) const;
    static std::uint8_t ImageByte(std::uint16_t address);

    int sys = 0;
    int position = 0;
    int expert = 0;
    Eeprom eeprom{};  // the encoder's memory as last connected
};
