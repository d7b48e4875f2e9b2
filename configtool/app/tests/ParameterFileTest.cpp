// Parameter files through the File menu, headless and in virtual time: the bytes a save writes,
// loading back without and with changes, the refusals of malformed files, and the encoder
// variants that read more or fewer value lines.
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "Languages.h"
#include "Panels.h"
#include "ParameterPagesFixture.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"

namespace {

constexpr int kSysPage = 0;

// Output byte 0x10: SSI, falling edge, Gray code, 26 bits.
constexpr std::uint8_t kSsiOutput = 0x01 | 0x02 | 0x04 | (2 << 4);
constexpr std::uint8_t kQuadAdvBit = 0x02;      // 0x27
constexpr std::uint8_t kQiHwRqEnBit = 0x04;     // 0x26
constexpr std::uint8_t kEnhancedStartset = 0x80; // 0x11
constexpr std::uint32_t kNoFrameTypeChoice = 141500;

sim::kelto::KeltoModel Model(std::uint8_t output, const char *material, std::uint32_t firmware = 308012)
{
    sim::kelto::KeltoModel model;
    model.output = output;
    model.materialNumber = material;
    model.firmwareNumber = firmware;
    return model;
}

// The legend every file carries after its interface line (Windows-1252, 0xB5 the micro sign).
const std::string kLegend =
    "Resolution [0 = 0.976 \xB5m, 1 = 1 \xB5m, 2 = 2 \xB5m, 3 = 5 \xB5m, 4 = 10 \xB5m]\r\n"
    "Startset [0 = NORMAL, 1 = ENHANCED]\r\n"
    "Encoding(SSI) [0 = BINARY, 1 = GRAY]\r\n"
    "Outputval(SSI) [0 = RISING, 1 = FALLING]\r\n"
    "Bit length(SSI) [0 = 24 bit, 1 = 25 bit, 2 = 26 bit, 3 = 32 bit]\r\n"
    "Min. Edge Time [0 = 0.11 \xB5s, 1 = 0.26 \xB5s, 2 = 0.42 \xB5s, 3 = 0.94 \xB5s, 4 = 1.8 \xB5s, "
    "5 = 3.5 \xB5s, 6 = 7 \xB5s, 7 = 14 \xB5s, 8 = 21 \xB5s]\r\n"
    "Frametype [0 = DIAG., 1 = STANDARD]\r\n";

// A file as the default encoder (BiSS, 1 um, normal start set, fixed edge time) would save it,
// with the value lines given.
std::string StandardFile(const std::string &valueLines)
{
    return "Vantrel Configuration Tool Parameter File\r\n\r\n" + valueLines +
           "\r\nOptions:\r\n\r\nInterface [0 = BISS, 1 = SSI]\r\n" + kLegend + "\r\nOther comments:\r\n";
}

const std::string kDefaultValues = "Interface:0\r\nResolution:1\r\nStartset:0\r\nEncoding:0\r\nOutputval:0\r\n"
                                   "Bitlength:0\r\nMin. Edge Time:0\r\nFrametype:0\r\n";

struct Message {
    std::string title;
    std::string text;
    bool operator==(const Message &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Message &message)
{
    return out << message.title << ": " << message.text;
}

Message Msg(int title, int text)
{
    return {MessageText(title), MessageText(text)};
}

class ParameterFileTest : public ParameterPagesTest {
protected:
    ParameterFileTest()
    {
        driver.OnPopup([](const cvi::PopupRecord &) { return 1; });
    }

    std::string PathOf(const char *name) const { return (scratch / name).string(); }

    static void WriteFile(const std::string &path, const std::string &content)
    {
        std::ofstream(path, std::ios::binary) << content;
    }

    static std::string ReadFile(const std::string &path)
    {
        std::ifstream file(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }

    void Save(const std::string &path)
    {
        driver.AnswerFileSelect(path);
        ASSERT_EQ(driver.ChooseMenuItem(MainMenuBar(), VANTREL_MENU_SAVE_FILE), cvi::InputStatus::Accepted);
    }

    void Load(const std::string &path)
    {
        driver.AnswerFileSelect(path);
        ASSERT_EQ(driver.ChooseMenuItem(MainMenuBar(), VANTREL_MENU_LOAD_FILE), cvi::InputStatus::Accepted);
    }

    void LoadText(const std::string &content)
    {
        const std::string path = PathOf("hand.vantrelcfg");
        WriteFile(path, content);
        Load(path);
    }

    // Message and generic popups shown so far, in order.
    std::vector<Message> Messages() const
    {
        std::vector<Message> shown;
        for (const cvi::PopupRecord &popup : driver.Popups()) {
            if (popup.kind != cvi::PopupRecord::Kind::FileSelect)
                shown.push_back({popup.title, popup.message});
        }
        return shown;
    }

    std::string SelectedFile() const { return Text(sys, TAB_SYS_SELECTED_FILE); }

    std::vector<std::uint8_t> SystemAndChipBlocks() const
    {
        std::vector<std::uint8_t> bytes;
        for (std::uint16_t address = 0; address < 0x40; ++address)
            bytes.push_back(ImageByte(address));
        return bytes;
    }
};

TEST_F(ParameterFileTest, ASavedFileHoldsTheChoicesAndTheLegendByteForByte)
{
    Connect(Model(kSsiOutput, "604118"));
    const std::string path = PathOf("ssi.vantrelcfg");
    Save(path);

    EXPECT_EQ(ReadFile(path), "Vantrel Configuration Tool Parameter File\r\n"
                              "\r\n"
                              "Interface:1\r\n"
                              "Resolution:1\r\n"
                              "Startset:0\r\n"
                              "Encoding:1\r\n"
                              "Outputval:1\r\n"
                              "Bitlength:2\r\n"
                              "Min. Edge Time:0\r\n"
                              "Frametype:0\r\n"
                              "\r\n"
                              "Options:\r\n"
                              "\r\n"
                              "Interface [0 = BISS, 1 = SSI]\r\n" +
                                  kLegend +
                                  "\r\n"
                                  "Other comments:\r\n");
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(SelectedFile(), path);
    EXPECT_EQ(g_paramFileShown, 1);
}

TEST_F(ParameterFileTest, AbsoluteQuadratureFilesCarryTheQuadratureLinesAndLoadBackUnchanged)
{
    Connect([](Eeprom &image) {
        image[0x27] |= kQuadAdvBit;
        image[0x26] |= kQiHwRqEnBit;
        image[0x11] |= kEnhancedStartset;
    });
    ASSERT_EQ(g_absoluteQuadrature, 1);
    const std::string path = PathOf("quadrature.vantrelcfg");
    Save(path);

    EXPECT_EQ(ReadFile(path), "Vantrel Configuration Tool Parameter File\r\n"
                              "\r\n"
                              "Interface:3\r\n"
                              "Resolution:1\r\n"
                              "Startset:1\r\n"
                              "Encoding:0\r\n"
                              "Outputval:0\r\n"
                              "Bitlength:0\r\n"
                              "Min. Edge Time:0\r\n"
                              "Frametype:0\r\n"
                              "VH request:1\r\n"
                              "Z signal:0\r\n"
                              "\r\n"
                              "Options:\r\n"
                              "\r\n"
                              "Interface [3 = ABS. QUAD.]\r\n" +
                                  kLegend +
                                  "VH request [0 = DISABLED, 1 = ENABLED]\r\n"
                                  "Z signal [0 = STANDARD, 1 = BUSY]\r\n"
                                  "\r\n"
                                  "Other comments:\r\n");

    const auto image = SystemAndChipBlocks();
    Load(path);
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(WriteEnabled());
    EXPECT_EQ(SelectedFile(), path);
    EXPECT_EQ(SystemAndChipBlocks(), image);
}

TEST_F(ParameterFileTest, ASavedFileLoadsBackWithoutChangingThePage)
{
    // 10 um and the edge time 0.94 us in the chip block.
    Connect(Model(kSsiOutput, "604118"), [](Eeprom &image) {
        image[0x12] = 10;
        image[0x30] = static_cast<std::uint8_t>((image[0x30] & ~0x1F) | 28);
        image[0x34] = 10;
        image[0x35] &= 0x80;
        SealDorvelBlock(image);
    });
    ASSERT_EQ(Value(sys, TAB_SYS_VANTREL_RES), 4);
    ASSERT_EQ(Value(sys, TAB_SYS_EDGETIME), 3);
    const std::string path = PathOf("roundtrip.vantrelcfg");
    Save(path);
    ASSERT_NE(ReadFile(path).find("Min. Edge Time:3\r\n"), std::string::npos);

    SetCtrlVal(sys, TAB_SYS_SELECTED_FILE, "");
    const auto image = SystemAndChipBlocks();
    Load(path);
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(WriteEnabled());
    EXPECT_EQ(SelectedFile(), path);
    EXPECT_EQ(g_paramFileShown, 1);
    EXPECT_EQ(Value(sys, TAB_SYS_VANTREL_RES), 4);
    EXPECT_EQ(Value(sys, TAB_SYS_EDGETIME), 3);
    EXPECT_EQ(Value(sys, TAB_SYS_SSI_LENGTH), 2);
    EXPECT_EQ(SystemAndChipBlocks(), image);
}

TEST_F(ParameterFileTest, ALoadThatChangesSomethingEnablesWritingAndPacksTheImage)
{
    Connect();
    LoadText(StandardFile("Interface:0\r\nResolution:2\r\nStartset:1\r\nEncoding:0\r\nOutputval:0\r\n"
                          "Bitlength:0\r\nMin. Edge Time:0\r\nFrametype:1\r\n"));
    EXPECT_TRUE(Messages().empty());
    EXPECT_TRUE(WriteEnabled());
    EXPECT_EQ(SelectedFile(), PathOf("hand.vantrelcfg"));
    EXPECT_EQ(Value(sys, TAB_SYS_VANTREL_RES), 2);
    EXPECT_EQ(Value(sys, TAB_SYS_STARTSET), 1);
    EXPECT_EQ(Value(sys, TAB_SYS_FRAME_TYPE), 1);
    EXPECT_EQ(Value(expert, TAB_EXPERT_SELRES), 18);
    EXPECT_EQ(ImageByte(0x12), 2);                  // SSI_RES
    EXPECT_EQ(ImageByte(0x11) & 0x80, 0x80);        // ENH_STARTSET
    EXPECT_EQ(ImageByte(0x10) & 0x08, 0x08);        // frame type

    // The operator's next change means the page no longer shows the file.
    Choose(kSysPage, TAB_SYS_VANTREL_RES, 3);
    EXPECT_EQ(SelectedFile(), "");
    EXPECT_EQ(g_paramFileShown, 0);
}

TEST_F(ParameterFileTest, ABissFileClearsTheSsiSettings)
{
    Connect(Model(kSsiOutput, "604118"));
    LoadText(StandardFile("Interface:0\r\nResolution:1\r\nStartset:0\r\nEncoding:1\r\nOutputval:1\r\n"
                          "Bitlength:2\r\nMin. Edge Time:0\r\nFrametype:0\r\n"));
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(Value(sys, TAB_SYS_COMM_PROTOCOL), 0);
    for (const int control : {TAB_SYS_SSI_CODING, TAB_SYS_SSI_VALUE, TAB_SYS_SSI_LENGTH}) {
        EXPECT_EQ(Value(sys, control), 0) << control;
        EXPECT_TRUE(Dimmed(sys, control)) << control;
    }
    EXPECT_TRUE(ControlVisible(sys, TAB_SYS_BISS_LENGTH));
    EXPECT_EQ(ImageByte(0x10) & 0x37, 0);
    EXPECT_TRUE(WriteEnabled());
}

TEST_F(ParameterFileTest, AResolutionTheEncoderLacksIsWarnedAboutAndTheRestApplied)
{
    Connect(Model(0, "604118"));  // no 0.976 um
    LoadText(StandardFile("Interface:0\r\nResolution:0\r\nStartset:0\r\nEncoding:0\r\nOutputval:0\r\n"
                          "Bitlength:0\r\nMin. Edge Time:4\r\nFrametype:0\r\n"));
    EXPECT_EQ(Messages(), (std::vector<Message>{Msg(1, 32)}));
    EXPECT_EQ(Value(sys, TAB_SYS_VANTREL_RES), 1);
    EXPECT_EQ(Value(sys, TAB_SYS_EDGETIME), 4);
    EXPECT_EQ(Value(expert, TAB_EXPERT_FCTR), 20);
    EXPECT_TRUE(WriteEnabled());
    EXPECT_EQ(g_paramFileShown, 1);
}

// Lines the encoder has no setting for are not taken: without the frame-type choice the file is
// read up to the edge time, whatever follows.
TEST_F(ParameterFileTest, WithoutTheFrameTypeChoiceTheFrameTypeLineIsNotRead)
{
    Connect(Model(0, "604117", kNoFrameTypeChoice));
    ASSERT_TRUE(Dimmed(sys, TAB_SYS_FRAME_TYPE));
    for (const char *rest : {"Frametype:1\r\n", "Frame type:7\r\n", ""}) {
        SCOPED_TRACE(rest);
        SetCtrlVal(sys, TAB_SYS_SELECTED_FILE, "");
        LoadText(StandardFile(std::string("Interface:0\r\nResolution:1\r\nStartset:0\r\nEncoding:0\r\nOutputval:0\r\n"
                                          "Bitlength:0\r\nMin. Edge Time:0\r\n") +
                              rest));
        EXPECT_TRUE(Messages().empty());
        EXPECT_EQ(ImageByte(0x10), eeprom[0x10]);
        EXPECT_FALSE(WriteEnabled());
        EXPECT_EQ(SelectedFile(), PathOf("hand.vantrelcfg"));
    }
}

// An absolute-quadrature encoder without the frame-type choice still reads all twelve lines:
// the quadrature values come from the file, never from an earlier load.
TEST_F(ParameterFileTest, AbsoluteQuadratureWithoutFrameTypeChoiceReadsEveryLine)
{
    Connect(Model(0, "604117", kNoFrameTypeChoice), [](Eeprom &image) { image[0x27] |= kQuadAdvBit; });
    ASSERT_EQ(g_absoluteQuadrature, 1);
    const std::string head = "Interface:3\r\nResolution:1\r\nStartset:0\r\nEncoding:0\r\nOutputval:0\r\n"
                             "Bitlength:0\r\nMin. Edge Time:0\r\nFrametype:1\r\n";
    LoadText(StandardFile(head + "VH request:1\r\nZ signal:1\r\n"));
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(Value(sys, TAB_SYS_QI_HW_RQ_EN), 1);
    EXPECT_EQ(Value(sys, TAB_SYS_QI_Z_TYPE), 1);
    EXPECT_EQ(Value(sys, TAB_SYS_FRAME_TYPE), 0);
    EXPECT_EQ(ImageByte(0x26) & 0x06, 0x06);
    EXPECT_TRUE(WriteEnabled());

    // A file without the quadrature lines is not one for this encoder.
    LoadText(StandardFile(head));
    EXPECT_EQ(Messages(), (std::vector<Message>{Msg(0, 11)}));
    EXPECT_EQ(Value(sys, TAB_SYS_QI_HW_RQ_EN), 0);
    EXPECT_EQ(Value(sys, TAB_SYS_QI_Z_TYPE), 0);
    EXPECT_FALSE(WriteEnabled());
    EXPECT_EQ(SelectedFile(), "");
}

// A file that is not exactly a parameter file for this encoder changes nothing but the operator's
// unwritten changes, which are discarded.
TEST_F(ParameterFileTest, MalformedFilesAreRefusedAndUnwrittenChangesDiscarded)
{
    const std::string valid = StandardFile(kDefaultValues);
    auto replaced = [&](const std::string &from, const std::string &to) {
        std::string text = valid;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    const std::pair<const char *, std::string> cases[] = {
        {"space after the colon", replaced("Resolution:1", "Resolution: 1")},
        {"space before the colon", replaced("Resolution:1", "Resolution :1")},
        {"header with a trailing space", replaced("File\r\n", "File \r\n")},
        {"other header", replaced("Vantrel Configuration", "Vantrel configuration")},
        {"wrong key", replaced("Startset:0", "Startsett:0")},
        {"keys out of order", replaced("Encoding:0\r\nOutputval:0", "Outputval:0\r\nEncoding:0")},
        {"no colon", replaced("Bitlength:0", "Bitlength 0")},
        {"no value", replaced("Bitlength:0", "Bitlength:")},
        {"empty part before the value", replaced("Bitlength:0", "Bitlength::0")},
        {"value out of range", replaced("Bitlength:0", "Bitlength:4")},
        {"two digits", replaced("Resolution:1", "Resolution:01")},
        {"edge time out of range", replaced("Min. Edge Time:0", "Min. Edge Time:9")},
        {"frame type out of range", replaced("Frametype:0", "Frametype:2")},
        {"variant interface", replaced("Interface:0", "Interface:2")},
        {"letter", replaced("Startset:0", "Startset:x")},
        {"truncated before the frame type", "Vantrel Configuration Tool Parameter File\r\n\r\nInterface:0\r\n"
                                            "Resolution:1\r\nStartset:0\r\nEncoding:0\r\nOutputval:0\r\n"
                                            "Bitlength:0\r\nMin. Edge Time:0"},
        {"header only", "Vantrel Configuration Tool Parameter File\r\n"},
        {"empty file", ""},
    };
    Connect();
    for (const auto &[name, content] : cases) {
        SCOPED_TRACE(name);
        Choose(kSysPage, TAB_SYS_VANTREL_RES, 3);
        SetCtrlVal(sys, TAB_SYS_SELECTED_FILE, "earlier.vantrelcfg");
        g_paramFileShown = 1;
        const std::size_t before = Messages().size();
        LoadText(content);
        const std::vector<Message> shown = Messages();
        ASSERT_EQ(shown.size(), before + 1);
        EXPECT_EQ(shown.back(), Msg(0, 11));
        EXPECT_EQ(Value(sys, TAB_SYS_VANTREL_RES), 1);
        EXPECT_EQ(Value(expert, TAB_EXPERT_SELRES), 16);
        EXPECT_FALSE(WriteEnabled());
        EXPECT_EQ(SelectedFile(), "");
        EXPECT_EQ(g_paramFileShown, 0);
    }
}

TEST_F(ParameterFileTest, WhatFollowsTheValueLinesIsNotRead)
{
    Connect();
    // Line feeds alone, a further part after the value, no legend, the operator's comments.
    LoadText("Vantrel Configuration Tool Parameter File\nanything\nInterface:0\nResolution:2:fine\nStartset:0\n"
             "Encoding:0\nOutputval:0\nBitlength:0\nMin. Edge Time:0\nFrametype:0");
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(Value(sys, TAB_SYS_VANTREL_RES), 2);

    LoadText(StandardFile(kDefaultValues) + "Mounted on axis 2: \xB5-stage\r\n");
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(Value(sys, TAB_SYS_VANTREL_RES), 1);
    EXPECT_FALSE(WriteEnabled());
}

TEST_F(ParameterFileTest, SavingWithUnwrittenChangesIsRefused)
{
    Connect();
    Choose(kSysPage, TAB_SYS_VANTREL_RES, 2);
    ASSERT_EQ(driver.ChooseMenuItem(MainMenuBar(), VANTREL_MENU_SAVE_FILE), cvi::InputStatus::Accepted);
    EXPECT_EQ(Messages(), (std::vector<Message>{Msg(2, 44)}));
    EXPECT_EQ(driver.Popups().size(), 1u);  // no file dialog
    EXPECT_EQ(g_fileDialogUsed, 1);
}

TEST_F(ParameterFileTest, AnExistingFileIsOverwrittenOnlyWhenTheOperatorSaysSo)
{
    Connect();
    const std::string path = PathOf("existing.vantrelcfg");
    WriteFile(path, "keep me");

    driver.AnswerFileSelect(path);
    driver.AnswerPopup(2);  // No
    ASSERT_EQ(driver.ChooseMenuItem(MainMenuBar(), VANTREL_MENU_SAVE_FILE), cvi::InputStatus::Accepted);
    EXPECT_EQ(Messages(), (std::vector<Message>{Msg(2, 16), Msg(2, 17)}));
    EXPECT_EQ(driver.Popups()[1].buttons, (std::vector<std::string>{"Yes", "No", ""}));
    EXPECT_EQ(ReadFile(path), "keep me");
    EXPECT_EQ(SelectedFile(), "");

    driver.AnswerFileSelect(path);
    driver.AnswerPopup(1);  // Yes
    ASSERT_EQ(driver.ChooseMenuItem(MainMenuBar(), VANTREL_MENU_SAVE_FILE), cvi::InputStatus::Accepted);
    EXPECT_EQ(ReadFile(path), StandardFile(kDefaultValues));
    EXPECT_EQ(SelectedFile(), path);
}

TEST_F(ParameterFileTest, FilesThatCannotBeOpenedOrChosenAreReported)
{
    Connect();
    // Saving into a folder that does not exist.
    Save(PathOf("missing\\params.vantrelcfg"));
    EXPECT_EQ(Messages().back(), Msg(0, 13));
    EXPECT_EQ(SelectedFile(), "");

    // Loading a file another program holds open without sharing.
    const std::string locked = PathOf("locked.vantrelcfg");
    WriteFile(locked, StandardFile(kDefaultValues));
    const HANDLE holder = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    Load(locked);
    EXPECT_EQ(Messages().back(), Msg(0, 13));
    driver.AnswerFileSelect(locked);
    driver.AnswerPopup(1);  // overwrite
    ASSERT_EQ(driver.ChooseMenuItem(MainMenuBar(), VANTREL_MENU_SAVE_FILE), cvi::InputStatus::Accepted);
    EXPECT_EQ(Messages().back(), Msg(0, 13));
    CloseHandle(holder);
    EXPECT_EQ(ReadFile(locked), StandardFile(kDefaultValues));

    // A typed name of a file that does not exist, and a folder chosen as the file.
    Load(PathOf("typed.vantrelcfg"));
    EXPECT_EQ(Messages().back(), Msg(0, 14));
    const std::filesystem::path folder = scratch / "folder.vantrelcfg";
    std::filesystem::create_directory(folder);
    Load(folder.string());
    EXPECT_EQ(Messages().back(), Msg(0, 15));
    Save(folder.string());
    EXPECT_EQ(Messages().back(), Msg(0, 15));
    EXPECT_EQ(Messages().size(), 7u);
    EXPECT_EQ(SelectedFile(), "");
    EXPECT_FALSE(WriteEnabled());
}

TEST_F(ParameterFileTest, TheFileDialogOpensOnTheSystemPageInTheProfileFolderFirst)
{
    Connect();
    ASSERT_EQ(driver.SelectTab(g_mainPanel, MAIN_PANEL_TABS, 1), cvi::InputStatus::Accepted);
    driver.CancelFileSelect();
    ASSERT_EQ(driver.ChooseMenuItem(MainMenuBar(), VANTREL_MENU_LOAD_FILE), cvi::InputStatus::Accepted);
    int page = -1;
    GetActiveTabPage(g_mainPanel, MAIN_PANEL_TABS, &page);
    EXPECT_EQ(page, 0);
    driver.CancelFileSelect();
    ASSERT_EQ(driver.ChooseMenuItem(MainMenuBar(), VANTREL_MENU_SAVE_FILE), cvi::InputStatus::Accepted);

    const auto &popups = driver.Popups();
    ASSERT_EQ(popups.size(), 2u);  // cancelling shows nothing more
    const char *profile = std::getenv("USERPROFILE");
    EXPECT_EQ(popups[0].file.defaultDirectory, profile ? profile : "");
    EXPECT_EQ(popups[1].file.defaultDirectory, " ");
    for (const cvi::PopupRecord &popup : popups) {
        EXPECT_EQ(popup.kind, cvi::PopupRecord::Kind::FileSelect);
        EXPECT_EQ(popup.file.defaultFileSpec, "*.vantrelcfg");
        EXPECT_EQ(popup.file.fileTypeList, "");
        EXPECT_EQ(popup.file.title, "Vantrel Configuration File");
        EXPECT_EQ(popup.file.buttonLabel, VAL_OK_BUTTON);
        EXPECT_FALSE(popup.file.restrictDirectory);
        EXPECT_TRUE(popup.file.restrictExtension);
    }
    EXPECT_EQ(SelectedFile(), "");
}

} // namespace
