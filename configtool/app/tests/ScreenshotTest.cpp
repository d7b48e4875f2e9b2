// The screenshot: a PNG of the main panel under the proposed time-stamped name, the overwrite
// question, cancelling and failures, the start folder, and the panel picture discarded each time.
#include <zlib.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>

#include "Panels.h"
#include "ToolFixture.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/UserInterface.h"

using cvi::InputStatus;
using cvi::PopupRecord;
namespace fs = std::filesystem;

namespace {

std::string LocalStamp(std::time_t time, const char *format)
{
    char text[64] = {};
    std::strftime(text, sizeof text, format, std::localtime(&time));
    return text;
}

std::string ReadFile(const fs::path &path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::uint32_t BigEndian(const std::string &bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 8 |
           static_cast<unsigned char>(bytes[at + 3]);
}

struct PngCheck {
    bool valid = false;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// Signature, chunk CRCs, header, and image data that inflates to exactly the 8-bit RGB rows.
PngCheck DecodePng(const std::string &png)
{
    PngCheck check;
    if (png.compare(0, 8, std::string("\x89PNG\r\n\x1a\n", 8)) != 0)
        return check;
    std::string packed;
    bool ended = false;
    for (std::size_t at = 8; !ended;) {
        if (at + 12 > png.size())
            return check;
        const std::uint32_t length = BigEndian(png, at);
        if (at + 12 + length > png.size())
            return check;
        const std::string type = png.substr(at + 4, 4);
        const std::string data = png.substr(at + 8, length);
        const uLong crc = crc32(0, reinterpret_cast<const Bytef *>(png.data() + at + 4), length + 4);
        if (crc != BigEndian(png, at + 8 + length))
            return check;
        if (type == "IHDR") {
            check.width = BigEndian(data, 0);
            check.height = BigEndian(data, 4);
            if (data[8] != 8 || data[9] != 2)
                return check;
        } else if (type == "IDAT") {
            packed += data;
        }
        ended = type == "IEND";
        at += 12 + length;
    }
    const uLongf expected = static_cast<uLongf>(check.height) * (1 + 3 * check.width);
    std::string pixels(expected + 1, '\0');
    uLongf size = static_cast<uLongf>(pixels.size());
    check.valid = expected > 0 &&
                  uncompress(reinterpret_cast<Bytef *>(pixels.data()), &size,
                             reinterpret_cast<const Bytef *>(packed.data()), static_cast<uLong>(packed.size())) == Z_OK &&
                  size == expected;
    return check;
}

class ScreenshotTest : public MainPanelTest {
protected:
    ScreenshotTest()
    {
        if (const char *profile = std::getenv("USERPROFILE"))
            previousProfile_ = profile;
        _putenv_s("USERPROFILE", scratch.string().c_str());
    }
    ~ScreenshotTest() override { _putenv_s("USERPROFILE", previousProfile_.c_str()); }

    InputStatus TakeScreenshot() { return driver.ChooseMenuItem(MainMenuBar(), VANTREL_MENU_MAKESCREENSHOT); }
    std::string Stamp() const { return Text(g_mainPanel, MAIN_PANEL_DATETIME_PRINTSCRN); }
    const PopupRecord &Popup(std::size_t index) const { return driver.Popups().at(index); }

    // The handle the run-time gives the next panel picture (the picture taken to find out is discarded).
    static int NextPictureHandle()
    {
        int bitmap = 0;
        GetPanelDisplayBitmap(g_mainPanel, &bitmap);
        DiscardBitmap(bitmap);
        return bitmap + 1;
    }

    fs::path shot = scratch / "shot.png";

private:
    std::string previousProfile_;
};

} // namespace

TEST_F(ScreenshotTest, SavesAPngOfTheMainPanelUnderTheProposedName)
{
    SetCtrlVal(g_mainPanel, MAIN_PANEL_DATETIME_PRINTSCRN, "old");
    driver.AnswerFileSelect((scratch / "shot").string()); // the extension is added
    const std::time_t before = std::time(nullptr);
    ASSERT_EQ(TakeScreenshot(), InputStatus::Accepted);
    const std::time_t after = std::time(nullptr);

    ASSERT_EQ(driver.Popups().size(), 1u);
    const cvi::FileSelectRequest &request = Popup(0).file;
    EXPECT_EQ(Popup(0).kind, PopupRecord::Kind::FileSelect);
    EXPECT_EQ(request.title, "Screenshot");
    EXPECT_EQ(request.buttonLabel, VAL_SAVE_BUTTON);
    EXPECT_TRUE(request.restrictExtension);
    EXPECT_FALSE(request.restrictDirectory);
    EXPECT_EQ(request.fileTypeList, "*.png");
    EXPECT_EQ(request.defaultDirectory, scratch.string());
    EXPECT_TRUE(request.defaultFileSpec == "Screenshot_" + LocalStamp(before, "%Y%m%d_%H%M%S") + ".png" ||
                request.defaultFileSpec == "Screenshot_" + LocalStamp(after, "%Y%m%d_%H%M%S") + ".png")
        << request.defaultFileSpec;

    const PngCheck png = DecodePng(ReadFile(shot));
    EXPECT_TRUE(png.valid);
    EXPECT_EQ(png.width, 1040u);
    EXPECT_EQ(png.height, 696u);
    EXPECT_EQ(Stamp(), "");
}

TEST_F(ScreenshotTest, TheDisplayStampShowsWhileThePictureIsTakenAndLaterOnesStartInTheLastFolder)
{
    driver.CancelFileSelect();
    driver.AnswerFileSelect(shot.string());
    const std::time_t before = std::time(nullptr);
    ASSERT_EQ(TakeScreenshot(), InputStatus::Accepted);
    const std::time_t after = std::time(nullptr);
    // Cancelled: nothing saved, the stamp stays.
    const std::string stamp = Stamp();
    EXPECT_TRUE(stamp == LocalStamp(before, "%Y-%m-%d %H:%M:%S") || stamp == LocalStamp(after, "%Y-%m-%d %H:%M:%S"))
        << stamp;
    EXPECT_FALSE(fs::exists(shot));

    ASSERT_EQ(TakeScreenshot(), InputStatus::Accepted);
    ASSERT_EQ(driver.Popups().size(), 2u);
    EXPECT_EQ(Popup(0).file.defaultDirectory, scratch.string());
    EXPECT_EQ(Popup(1).file.defaultDirectory, " ");
    EXPECT_TRUE(fs::exists(shot));
    EXPECT_EQ(Stamp(), "");
}

TEST_F(ScreenshotTest, TwoInOneSecondProposeOneNameAndNoAtTheOverwriteQuestionSavesNothing)
{
    // Retried in the rare case that the clock's second turns between the two.
    std::time_t first = 0;
    std::time_t last = 1;
    for (int attempt = 0; attempt < 5 && first != last; ++attempt) {
        fs::remove(shot);
        driver.AnswerFileSelect(shot.string());
        driver.AnswerFileSelect(shot.string());
        driver.AnswerPopup(2); // "No"
        first = std::time(nullptr);
        ASSERT_EQ(TakeScreenshot(), InputStatus::Accepted);
        ASSERT_EQ(TakeScreenshot(), InputStatus::Accepted);
        last = std::time(nullptr);
    }
    ASSERT_EQ(first, last);
    const std::size_t count = driver.Popups().size();
    ASSERT_GE(count, 3u);
    const PopupRecord &firstSelect = Popup(count - 3);
    const PopupRecord &secondSelect = Popup(count - 2);
    const PopupRecord &question = Popup(count - 1);
    EXPECT_EQ(firstSelect.file.defaultFileSpec, "Screenshot_" + LocalStamp(first, "%Y%m%d_%H%M%S") + ".png");
    EXPECT_EQ(secondSelect.file.defaultFileSpec, firstSelect.file.defaultFileSpec);

    EXPECT_EQ(question.kind, PopupRecord::Kind::Generic);
    EXPECT_EQ(question.title, "Notification");
    EXPECT_EQ(question.message, "Should the existing file be overwritten?");
    EXPECT_EQ(question.buttons, (std::vector<std::string>{"Yes", "No", ""}));
    EXPECT_EQ(question.enterButton, 0);
    EXPECT_EQ(question.escapeButton, 2);

    // "No": the first picture stays as it was and so does the stamp.
    EXPECT_TRUE(DecodePng(ReadFile(shot)).valid);
    EXPECT_EQ(Stamp(), LocalStamp(first, "%Y-%m-%d %H:%M:%S"));
}

TEST_F(ScreenshotTest, YesAtTheOverwriteQuestionReplacesTheFile)
{
    { std::ofstream(shot, std::ios::binary) << "not a picture"; }
    driver.AnswerFileSelect(shot.string());
    driver.AnswerPopup(1); // "Yes"
    ASSERT_EQ(TakeScreenshot(), InputStatus::Accepted);
    ASSERT_EQ(driver.Popups().size(), 2u);
    EXPECT_EQ(Popup(1).message, "Should the existing file be overwritten?");
    EXPECT_TRUE(DecodePng(ReadFile(shot)).valid);
    EXPECT_EQ(Stamp(), "");
}

TEST_F(ScreenshotTest, FailuresAreReportedAndThePictureIsDiscardedOnEveryPath)
{
    struct Case {
        const char *name;
        std::string answer; // empty: cancelled
        int overwrite;      // answer to the overwrite question, 0: none asked
        const char *message; // the error reported, or null
        bool saved;
    };
    fs::create_directories(scratch / "folder.png");
    { std::ofstream(scratch / "existing.png", std::ios::binary) << "x"; }
    const Case cases[] = {
        {"new file", (scratch / "new.png").string(), 0, nullptr, true},
        {"overwrite no", (scratch / "existing.png").string(), 2, nullptr, false},
        {"overwrite yes", (scratch / "existing.png").string(), 1, nullptr, true},
        {"cancelled", "", 0, nullptr, false},
        {"a folder chosen", (scratch / "folder.png").string(), 0, "Error during file selection.", false},
        {"unwritable place", (scratch / "missing" / "shot.png").string(), 0, "Error during screenshot operation.",
         false},
    };
    for (const Case &entry : cases) {
        SCOPED_TRACE(entry.name);
        const std::size_t popupsBefore = driver.Popups().size();
        if (entry.answer.empty())
            driver.CancelFileSelect();
        else
            driver.AnswerFileSelect(entry.answer);
        if (entry.overwrite)
            driver.AnswerPopup(entry.overwrite);
        if (entry.message)
            driver.AnswerPopup(1);
        const int picture = NextPictureHandle();

        ASSERT_EQ(TakeScreenshot(), InputStatus::Accepted);

        EXPECT_EQ(DiscardBitmap(picture), UIE_INVALID_BITMAP);
        EXPECT_EQ(NextPictureHandle(), picture + 2); // the screenshot did take that picture
        const std::size_t expected = 1 + (entry.overwrite ? 1 : 0) + (entry.message ? 1 : 0);
        ASSERT_EQ(driver.Popups().size(), popupsBefore + expected);
        if (entry.message) {
            EXPECT_EQ(driver.Popups().back().title, "Error");
            EXPECT_EQ(driver.Popups().back().message, entry.message);
        }
        if (!entry.answer.empty() && fs::is_regular_file(entry.answer))
            EXPECT_EQ(DecodePng(ReadFile(entry.answer)).valid, entry.saved);
        else
            EXPECT_FALSE(entry.saved);
    }
    EXPECT_FALSE(driver.HadUnansweredPopup());
}
