// Parameter files against a simulated Kelto encoder behind ferrolink.dll: a file saved from one
// configuration and loaded later is written to the encoder through the write button.
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "ConnectionSequence.h"
#include "EncoderRig.h"
#include "FieldPacking.h"
#include "FirmwareSpecifics.h"
#include "Panels.h"
#include "ParameterPages.h"
#include "RegisterImage.h"
#include "SensorMemoryMap.h"
#include "SensorLinkState.h"
#include "ToolFixture.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"

namespace {

constexpr std::uint16_t kSsiResolution = 0x12;
constexpr std::uint16_t kSelres = 0x30;

class ParameterFileEncoderTest : public MainPanelTest {
protected:
    ParameterFileEncoderTest()
    {
        auto model = sim::kelto::KeltoScenario("standard");
        if (!model)
            ADD_FAILURE() << "no standard encoder";
        else
            rig_ = std::make_unique<EncoderRig>(*model);
    }
    ~ParameterFileEncoderTest() override { g_paramFileShown = 0; }

    static int Sys() { return GetTabPanel(0); }
    sim::kelto::SimKeltoEncoder &Encoder() { return rig_->Encoder(); }
    std::string PathOf(const char *name) const { return (scratch / name).string(); }

    void Menu(int item, const std::string &path)
    {
        driver.AnswerFileSelect(path);
        ASSERT_EQ(driver.ChooseMenuItem(MainMenuBar(), item), cvi::InputStatus::Accepted);
    }

    // What the connection's full read leaves in the image and on the pages (the connection test
    // shows that read itself).
    void TakeOverEncoderImage()
    {
        rig_->TakeOverEeprom(calvista::kDeviceIdAddress, 660);
        rig_->TakeOverEeprom(0, 96);
        EncoderRig::ShowImage();
        SetFwVerSpecific(true, true, false);
        SetCtrlAttribute(Sys(), TAB_SYS_WRITE_CFG, ATTR_DIMMED, 1);
    }

    void Write()
    {
        ASSERT_EQ(driver.Click(Sys(), TAB_SYS_WRITE_CFG), cvi::InputStatus::Accepted);
        ASSERT_EQ(g_link.lastError, 0);
    }

    std::unique_ptr<EncoderRig> rig_;
};

} // namespace

TEST_F(ParameterFileEncoderTest, AnEditedFileIsWrittenToTheEncoder)
{
    ASSERT_EQ(InitConnection(), 0);
    TakeOverEncoderImage();
    ASSERT_EQ(Value(Sys(), TAB_SYS_VANTREL_RES), 1);

    const std::string saved = PathOf("delivered.vantrelcfg");
    Menu(VANTREL_MENU_SAVE_FILE, saved);
    Menu(VANTREL_MENU_LOAD_FILE, saved);
    EXPECT_TRUE(Dimmed(Sys(), TAB_SYS_WRITE_CFG));
    EXPECT_EQ(Text(Sys(), TAB_SYS_SELECTED_FILE), saved);

    // The same file with a finer resolution, as an operator would edit it.
    std::ifstream in(saved, std::ios::binary);
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    in.close();
    text.replace(text.find("Resolution:1"), 12, "Resolution:2");
    const std::string edited = PathOf("edited.vantrelcfg");
    std::ofstream(edited, std::ios::binary) << text;

    Menu(VANTREL_MENU_LOAD_FILE, edited);
    ASSERT_FALSE(Dimmed(Sys(), TAB_SYS_WRITE_CFG));
    Write();
    EXPECT_EQ(Encoder().Eeprom(kSsiResolution), 2);
    EXPECT_EQ(Encoder().Eeprom(kSelres) & 0x1F, 18);
    EXPECT_TRUE(Dimmed(Sys(), TAB_SYS_WRITE_CFG));

    // The first file now differs from what the encoder holds.
    Menu(VANTREL_MENU_LOAD_FILE, saved);
    EXPECT_FALSE(Dimmed(Sys(), TAB_SYS_WRITE_CFG));
    EXPECT_EQ(Value(Sys(), TAB_SYS_VANTREL_RES), 1);
    EXPECT_EQ(driver.Popups().size(), 4u);  // the file dialogs alone
    EXPECT_FALSE(driver.HadUnansweredPopup());
}
