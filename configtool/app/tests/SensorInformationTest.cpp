// What the tool shows about the encoder from its product information: identification, firmware,
// work time, the parameter state and the lists that depend on the material number.
#include <string>
#include <vector>

#include "FirmwareSpecifics.h"
#include "Languages.h"
#include "Panels.h"
#include "RegisterFields.h"
#include "SensorInformation.h"
#include "ToolFixture.h"
#include "TypecodeSpecifics.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/UserInterface.h"

namespace {

// Product information addresses of the encoder's memory map.
constexpr std::uint16_t kMaterialNumber = 208;
constexpr std::uint16_t kFirmwareVersion = 214;
constexpr std::uint16_t kParameterVersion = 227;
constexpr std::uint16_t kRunningNumber = 371;
constexpr std::uint16_t kFactoryInfo = 397;
constexpr std::uint16_t kParameterDate = 401;
constexpr std::uint16_t kTypeCode = 407;
constexpr std::uint16_t kDeliveryCode = 447;
constexpr std::uint16_t kModificationIndicator = 659;

class SensorInformationTest : public MainPanelTest {
protected:
    int ExpertPage() const { return GetTabPanel(2); }
    int SysPage() const { return GetTabPanel(0); }
};

} // namespace

TEST_F(SensorInformationTest, IdentificationComesFromTheProductInformation)
{
    PutText(kFirmwareVersion, "308012_R01.07");
    PutText(kParameterDate, "230321");
    PutText(kRunningNumber, "00012345");
    PutText(kFactoryInfo, "K1PA");
    PutText(kTypeCode, "  KELTO-L-1-B00D-M5EQ-E\t                 ");
    PutText(kDeliveryCode, "D000815");
    PutText(kMaterialNumber, "604117");
    PutText(kParameterVersion, "0102");
    calvista::SysRegField(calvista::SysField::WRK_TIME_REG0).value = 0xFFFF;
    calvista::SysRegField(calvista::SysField::NUM_OF_POLES_REG_L).value = 0;

    SetAdditionalInfoFields();

    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_FWVER), "308012_R01.07");
    EXPECT_EQ(g_firmware.number, 308012);
    EXPECT_TRUE(g_firmware.frameTypeCapable);
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_SERIALNUM1), "230321");
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_SERIALNUM2), "00012345");
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_SERIALNUM3), "K1PA");
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_VANTREL_TYPECODE), "KELTO-L-1-B00D-M5EQ-E");
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_VANTREL_ORDNR), "D000815");
    EXPECT_EQ(Text(ExpertPage(), TAB_EXPERT_MATNUM), "604117");
    EXPECT_EQ(Text(ExpertPage(), TAB_EXPERT_MAINVER), "01");
    EXPECT_EQ(Text(ExpertPage(), TAB_EXPERT_SUBVER), "02");
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_WORK_TIME), "65535");
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_PARAM_STATE), "ORIGINAL");
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_VANTREL_APP_TYPE), "Linear");
}

TEST_F(SensorInformationTest, TextsEndAtAZeroByteAndUnknownControlsWriteNothing)
{
    PutText(kParameterDate, std::string("2303\0" "1", 6));
    PutText(kParameterVersion, std::string("0\0" "7", 4));
    SetProdinfoField(MAIN_PANEL_SERIALNUM1);
    SetOtherParamField(TAB_EXPERT_MAINVER);
    SetOtherParamField(TAB_EXPERT_SUBVER);
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_SERIALNUM1), "2303");
    EXPECT_EQ(Text(ExpertPage(), TAB_EXPERT_MAINVER), "0");
    EXPECT_EQ(Text(ExpertPage(), TAB_EXPERT_SUBVER), "7");

    // A type code of blanks only shows empty.
    PutText(kTypeCode, std::string(40, ' '));
    SetProdinfoField(MAIN_PANEL_VANTREL_TYPECODE);
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_VANTREL_TYPECODE), "");

    SetCtrlVal(g_mainPanel, MAIN_PANEL_WORK_TIME, "untouched");
    SetProdinfoField(MAIN_PANEL_WORK_TIME);
    SetOtherParamField(TAB_EXPERT_OFFSET);
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_WORK_TIME), "untouched");
}

TEST_F(SensorInformationTest, FirmwareNumberOfAnUnreadOrTextualFirmwareIsZero)
{
    SetProdinfoField(MAIN_PANEL_FWVER);  // cells never read
    EXPECT_EQ(g_firmware.number, 0);
    EXPECT_FALSE(g_firmware.frameTypeCapable);

    PutText(kFirmwareVersion, "143000_R01.07");
    SetProdinfoField(MAIN_PANEL_FWVER);
    EXPECT_EQ(g_firmware.number, 143000);
    EXPECT_TRUE(g_firmware.frameTypeCapable);

    PutText(kFirmwareVersion, "R01.07_143000");
    SetProdinfoField(MAIN_PANEL_FWVER);
    EXPECT_EQ(g_firmware.number, 0);
    EXPECT_FALSE(g_firmware.frameTypeCapable);
}

TEST_F(SensorInformationTest, ModificationIndicatorShowsOriginalOrModified)
{
    struct Case {
        std::uint16_t cell;
        const char *english;
        const char *german;
    };
    const Case cases[] = {{0xFE, "MODIFIED", "MODIFIZIERT"}, {0x00, "MODIFIED", "MODIFIZIERT"},
                          {0xFF, "ORIGINAL", "ORIGINAL"}, {0x01, "ORIGINAL", "ORIGINAL"},
                          {0x1FF, "ORIGINAL", "ORIGINAL"}};
    for (const Case &c : cases) {
        PutByte(kModificationIndicator, c.cell);
        g_language = kEnglish;
        SetParamterModificationState();
        EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_PARAM_STATE), c.english) << std::hex << c.cell;
        g_language = kGerman;
        SetParamterModificationState();
        EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_PARAM_STATE), c.german) << std::hex << c.cell;
    }
    g_language = kEnglish;
}

TEST_F(SensorInformationTest, MaterialNumberDecidesTheSystemPageLists)
{
    const std::vector<std::string> allResolutions{"0,976 \xB5m/inc", "1 \xB5m/inc", "2 \xB5m/inc", "5 \xB5m/inc",
                                                  "10 \xB5m/inc"};
    const std::vector<std::string> coarseResolutions(allResolutions.begin() + 1, allResolutions.end());
    struct Case {
        const char *material;
        bool edgeTimeSelectable;
        bool enhancedStartset;
    };
    const Case cases[] = {
        {"604118", true, false}, {"604229", true, false}, {"604117", false, true}, {"604228", false, true},
        {"604335", false, true}, {"123456", false, false}, {"x60411", false, false},
        {"604118", true, false},  // back to a selectable edge time after the fixed one
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.material);
        SetCtrlVal(ExpertPage(), TAB_EXPERT_MATNUM, c.material);
        // Twice: the second run finds the lists as the first left them.
        for (int run = 0; run < 2; ++run) {
            SetTypecodeSpecific();
            const std::vector<std::string> edgeTimes = driver.ListLabels(SysPage(), TAB_SYS_EDGETIME);
            const std::vector<std::string> resolutions = driver.ListLabels(SysPage(), TAB_SYS_VANTREL_RES);
            const std::vector<std::string> startsets = driver.ListLabels(SysPage(), TAB_SYS_STARTSET);
            ASSERT_FALSE(edgeTimes.empty());
            EXPECT_EQ(edgeTimes.size(), c.edgeTimeSelectable ? 9u : 10u);
            EXPECT_EQ(edgeTimes.front() == "- - -", !c.edgeTimeSelectable);
            EXPECT_EQ(Dimmed(SysPage(), TAB_SYS_EDGETIME), !c.edgeTimeSelectable);
            EXPECT_EQ(resolutions, c.edgeTimeSelectable ? coarseResolutions : allResolutions);
            const std::vector<std::string> expectedStartsets =
                c.enhancedStartset ? std::vector<std::string>{"NORMAL", "ENHANCED"} : std::vector<std::string>{"NORMAL"};
            EXPECT_EQ(startsets, expectedStartsets);
        }
    }
}

TEST_F(SensorInformationTest, InsertedItemsCarryTheirValues)
{
    SetCtrlVal(ExpertPage(), TAB_EXPERT_MATNUM, "604118");
    SetTypecodeSpecific();
    SetCtrlVal(ExpertPage(), TAB_EXPERT_MATNUM, "604117");
    SetTypecodeSpecific();

    ASSERT_EQ(driver.SelectListItem(SysPage(), TAB_SYS_STARTSET, 1), cvi::InputStatus::Accepted);
    EXPECT_EQ(Value(SysPage(), TAB_SYS_STARTSET), 1);
    SetCtrlVal(SysPage(), TAB_SYS_VANTREL_RES, 0);
    EXPECT_EQ(driver.DisplayedText(SysPage(), TAB_SYS_VANTREL_RES), "0,976 \xB5m/inc");
    SetCtrlVal(SysPage(), TAB_SYS_EDGETIME, 255);
    EXPECT_EQ(driver.DisplayedText(SysPage(), TAB_SYS_EDGETIME), "- - -");
}
