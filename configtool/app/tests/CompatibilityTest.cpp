// Which encoders the tool accepts after reading them: by device identifier and by firmware, with
// the reserved configuration bits that newer firmware may use.
#include <string>

#include "ConnectionSequence.h"
#include "FirmwareSpecifics.h"
#include "Panels.h"
#include "ToolFixture.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/UserInterface.h"

namespace {

struct Case {
    const char *identifier;
    const char *firmware;
    std::uint16_t reservedAddress;  // 0: no reserved bit set
    std::uint8_t reservedBits;
    int result;
    const char *message;  // nullptr: no popup
};

constexpr char kNotFullySupported[] = "Vantrel firmware version not fully supported. Please update software.";
constexpr char kNotSupported[] = "Vantrel firmware version not supported. Application will be terminated.";
constexpr char kUnknownDevice[] = "Unknown device. Application will be terminated.";

const Case kCases[] = {
    {"HX1648QP", "308999_R01.07", 0, 0, 0, nullptr},
    {"HX2648QP", "308999_R01.07", 0, 0, 0, nullptr},
    {"HX1648QP", "309000_R01.07", 0, 0, 0, kNotFullySupported},
    {"HX1648QP", "309000_R01.07", 16, 0x80, -1, kNotSupported},
    {"HX1648QP", "309000_R01.07", 38, 0x08, -1, kNotSupported},
    {"HX1648QP", "309000_R01.07", 39, 0x04, -1, kNotSupported},
    {"HX1648QP", "309000_R01.07", 39, 0x03, 0, kNotFullySupported},
    {"HX1648QP", "144999_R01.07", 16, 0x80, 0, nullptr},  // not new: reserved bits are not looked at
    {"HX1648QP", "145000_R01.07", 0, 0, 0, kNotFullySupported},
    {"HX9648QP", "308012_R01.07", 0, 0, -1, kUnknownDevice},
    {"hx1648qp", "308012_R01.07", 0, 0, -1, kUnknownDevice},
};

class CompatibilityTest : public MainPanelTest, public testing::WithParamInterface<Case> {
protected:
    void ReadEncoder(const Case &c)
    {
        for (std::uint16_t address : {16, 38, 39})
            PutByte(address, 0);
        if (c.reservedAddress != 0)
            PutByte(c.reservedAddress, c.reservedBits);
        PutText(196, c.identifier);
        SetFirmwareFromText(c.firmware);
    }
};

} // namespace

TEST_P(CompatibilityTest, ByIdentifierAndFirmware)
{
    const Case &c = GetParam();
    driver.OnPopup([](const cvi::PopupRecord &) { return 1; });
    ReadEncoder(c);
    EXPECT_EQ(CheckCompatibilityVantrel(), c.result);
    if (c.message) {
        ASSERT_EQ(driver.Popups().size(), 1u);
        EXPECT_EQ(driver.Popups()[0].message, c.message);
    } else {
        EXPECT_TRUE(driver.Popups().empty());
    }
    EXPECT_EQ(driver.QuitRequested(), c.result != 0);
    if (c.result != 0) {
        EXPECT_TRUE(Dimmed(GetTabPanel(0), TAB_SYS_WRITE_CFG));
    }
}

TEST_P(CompatibilityTest, ExpertModeAcceptsEveryEncoder)
{
    g_expertMode = 1;
    ReadEncoder(GetParam());
    EXPECT_EQ(CheckCompatibilityVantrel(), 0);
    EXPECT_TRUE(driver.Popups().empty());
    EXPECT_FALSE(driver.QuitRequested());
}

INSTANTIATE_TEST_SUITE_P(Encoders, CompatibilityTest, testing::ValuesIn(kCases));
