// The expert register page without an encoder: which addresses a single access and a text run may
// reach, the text form of a byte run, and how the memory choice adapts the address controls.
#include <optional>
#include <string>

#include "ExpertPageRules.h"
#include "Panels.h"
#include "ToolFixture.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/UserInterface.h"

using namespace std::string_literals;

TEST(ExpertPageRules, SingleRegisterStaysInsideTheChosenMemory)
{
    struct Case {
        int base;
        int offset;
        ExpertTarget target;
        std::optional<std::uint16_t> address;
    };
    const Case cases[] = {
        {0xD0, 6, ExpertTarget::Eeprom, 214},         // first character of the firmware text
        {0x1D9, 1574, ExpertTarget::Eeprom, 2047},    // the EEPROM's last address
        {0x1D9, 1575, ExpertTarget::Eeprom, std::nullopt},
        {0x1D9, 2047, ExpertTarget::Eeprom, std::nullopt},
        {0xA0, 2047, ExpertTarget::Eeprom, std::nullopt},
        {0, 127, ExpertTarget::Ram, 127},
        {0, 128, ExpertTarget::Ram, std::nullopt},
        {0x60, 0, ExpertTarget::Ram, 96},
        {0x90, 0, ExpertTarget::Ram, std::nullopt},
        {0, -1, ExpertTarget::Eeprom, std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(SingleRegisterAddress(c.base, c.offset, c.target), c.address) << c.base << " + " << c.offset;
}

TEST(ExpertPageRules, TextRunEndsAtFiftyBytesAndAtTheLastAddress)
{
    struct Case {
        int start;
        std::size_t requested;
        std::size_t length;
    };
    for (const Case c : {Case{208, 0, 0}, Case{208, 10, 10}, Case{208, 80, 50}, Case{1998, 50, 50}, Case{2040, 50, 8},
                         Case{2047, 50, 1}, Case{2048, 5, 0}, Case{-1, 5, 0}})
        EXPECT_EQ(TextRunLength(c.start, c.requested), c.length) << c.start << ", " << c.requested;
}

TEST(ExpertPageRules, ZeroBytesShowAsSpacesAndSpacesAreStoredAsZero)
{
    EXPECT_EQ(TextFromEepromBytes("AB\0\0C\xFF"s), "AB  C\xFF"s);
    EXPECT_EQ(EepromBytesFromText("AB  C"), "AB\0\0C"s);
    EXPECT_EQ(TextFromEepromBytes(""), "");
}

namespace {

// The main panel in expert mode, as an accepted password leaves it, with the register page shown.
class ExpertPagesTest : public MainPanelTest {
protected:
    ExpertPagesTest()
    {
        EnterExpertMode();
        page = GetTabPanel(3);
        EXPECT_EQ(driver.SelectTab(g_mainPanel, MAIN_PANEL_TABS, 3), cvi::InputStatus::Accepted);
    }

    double MaxAddress() const
    {
        double maximum = 0;
        GetCtrlAttribute(page, TAB_EXP_2_REGISTER_ADDRESS, ATTR_MAX_VALUE, &maximum);
        return maximum;
    }

    int page = 0;
};

} // namespace

TEST_F(ExpertPagesTest, RamTargetFixesTheBaseAndCapsTheAddress)
{
    ASSERT_EQ(driver.SetValue(page, TAB_EXP_2_BASE_ADDRESS, 0xD0), cvi::InputStatus::Accepted);
    ASSERT_EQ(driver.SetValue(page, TAB_EXP_2_REGISTER_ADDRESS, 1500), cvi::InputStatus::Accepted);

    ASSERT_EQ(driver.SetValue(page, TAB_EXP_2_TARGET_RW, 1), cvi::InputStatus::Accepted);
    EXPECT_EQ(Value(page, TAB_EXP_2_BASE_ADDRESS), 0);
    EXPECT_TRUE(Dimmed(page, TAB_EXP_2_BASE_ADDRESS));
    EXPECT_EQ(MaxAddress(), 127);
    EXPECT_EQ(Value(page, TAB_EXP_2_REGISTER_ADDRESS), 127);
    EXPECT_EQ(driver.SetValue(page, TAB_EXP_2_BASE_ADDRESS, 0xD0), cvi::InputStatus::Dimmed);
    driver.SetValue(page, TAB_EXP_2_REGISTER_ADDRESS, 900);
    EXPECT_EQ(Value(page, TAB_EXP_2_REGISTER_ADDRESS), 127);

    ASSERT_EQ(driver.SetValue(page, TAB_EXP_2_TARGET_RW, 0), cvi::InputStatus::Accepted);
    EXPECT_FALSE(Dimmed(page, TAB_EXP_2_BASE_ADDRESS));
    EXPECT_EQ(MaxAddress(), 2047);
    ASSERT_EQ(driver.SetValue(page, TAB_EXP_2_REGISTER_ADDRESS, 1500), cvi::InputStatus::Accepted);
    EXPECT_EQ(Value(page, TAB_EXP_2_REGISTER_ADDRESS), 1500);
    EXPECT_EQ(driver.SetValue(page, TAB_EXP_2_BASE_ADDRESS, 0x1D9), cvi::InputStatus::Accepted);
}
