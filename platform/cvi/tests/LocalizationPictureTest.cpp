// Language files applied to panels and menus, and panel pictures written as PNG.
#include <windows.h>

#include <zlib.h>

#include <cstdint>
#include <string>

#include "TestFiles.h"
#include "UiFixture.h"
#include "cvi/Localization.h"

TEST_F(UiTest, LanguageFileRelabelsPanelPagesAndMenu)
{
    ASSERT_EQ(LocalizePanel(main, "data/Deutsch.lwl"), 0);
    ASSERT_EQ(LocalizeMenuBar(menuBar, "data/Deutsch.lwl"), 0);
    char title[64];
    GetPanelAttribute(main, ATTR_TITLE, title);
    EXPECT_STREQ(title, "Testfenster");
    EXPECT_EQ(driver.Label(main, MAIN_MODE), "Modus");
    // The file is UTF-8; the program gets its ANSI code page (1252 here).
    EXPECT_EQ(driver.Label(main, MAIN_APPLY), "__\xDC" "bernehmen");
    EXPECT_EQ(driver.DisplayedText(main, MAIN_STATUS), "Bereit\r\nzweite Zeile");
    EXPECT_EQ(driver.PageLabel(main, MAIN_PAGES, 0), "Erste");
    EXPECT_EQ(driver.PageLabel(main, MAIN_PAGES, 1), "Zweite");
    EXPECT_EQ(driver.Label(pageTwo, PAGE_TWO_RUN), "L\xE4uft");
    EXPECT_EQ(driver.MenuLabel(menuBar, TEST_MENU_FILE), "__Datei");
    EXPECT_EQ(driver.MenuLabel(menuBar, TEST_MENU_QUIT), "__Beenden");
    EXPECT_EQ(driver.MenuLabel(menuBar, TEST_MENU_OPEN), "__Open");
}

TEST_F(UiTest, MissingOrMalformedLanguageFileChangesNothing)
{
    EXPECT_NE(LocalizePanel(main, "data/Missing.lwl"), 0);
    EXPECT_NE(LocalizePanel(main, "data/Broken.lwl"), 0);
    EXPECT_NE(LocalizeMenuBar(menuBar, "data/Missing.lwl"), 0);
    EXPECT_NE(LocalizePanel(0, "data/Deutsch.lwl"), 0);
    EXPECT_EQ(driver.Label(main, MAIN_MODE), "Mode");
}

namespace {

std::uint32_t BigEndian(const std::string &bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 8 |
           static_cast<unsigned char>(bytes[at + 3]);
}

struct DecodedPng {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::string pixels; // filter byte + RGB per row
    bool crcsValid = true;
};

DecodedPng Decode(const std::string &png)
{
    DecodedPng decoded;
    std::string packed;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::uint32_t length = BigEndian(png, at);
        const std::string type = png.substr(at + 4, 4);
        const std::string data = png.substr(at + 8, length);
        const uLong crc = crc32(crc32(0, Z_NULL, 0), reinterpret_cast<const Bytef *>(png.data() + at + 4), length + 4);
        decoded.crcsValid = decoded.crcsValid && crc == BigEndian(png, at + 8 + length);
        if (type == "IHDR") {
            decoded.width = BigEndian(data, 0);
            decoded.height = BigEndian(data, 4);
        } else if (type == "IDAT") {
            packed += data;
        }
        at += 12 + length;
    }
    uLongf size = static_cast<uLongf>(decoded.height) * (1 + 3 * decoded.width);
    decoded.pixels.resize(size);
    if (uncompress(reinterpret_cast<Bytef *>(decoded.pixels.data()), &size,
                   reinterpret_cast<const Bytef *>(packed.data()), static_cast<uLong>(packed.size())) != Z_OK)
        decoded.pixels.clear();
    return decoded;
}

} // namespace

TEST_F(UiTest, PanelPictureIsAValidPngOfThePanel)
{
    DisplayPanel(main);
    const int plot[] = {0, 4, 2, 8, 6};
    PlotY(pageOne, PAGE_ONE_PLOT, plot, 5, VAL_INTEGER, VAL_CONNECTED_POINTS, 24, 0, 1, 0x0000FF);
    int bitmap = 0;
    ASSERT_EQ(GetPanelDisplayBitmap(main, &bitmap), 0);
    TemporaryFolder folder;
    const std::string path = folder.File("Screenshot_20240102_030405.png");
    ASSERT_EQ(SaveBitmapToPNGFile(bitmap, path.c_str()), 0);
    EXPECT_EQ(DiscardBitmap(bitmap), 0);
    EXPECT_EQ(SaveBitmapToPNGFile(bitmap, path.c_str()), UIE_INVALID_BITMAP);

    const std::string png = ReadWholeFile(path);
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    const DecodedPng decoded = Decode(png);
    EXPECT_TRUE(decoded.crcsValid);
    EXPECT_EQ(decoded.width, 540u);
    EXPECT_EQ(decoded.height, 440u);
    ASSERT_EQ(decoded.pixels.size(), 440u * (1 + 3 * 540));
    // The panel's face, the blue status text and the green lamp are all in the picture.
    bool face = false, blue = false, green = false;
    for (std::size_t row = 0; row < decoded.height; ++row) {
        for (std::size_t x = 0; x < decoded.width; ++x) {
            const std::size_t at = row * (1 + 3 * decoded.width) + 1 + 3 * x;
            const auto r = static_cast<unsigned char>(decoded.pixels[at]);
            const auto g = static_cast<unsigned char>(decoded.pixels[at + 1]);
            const auto b = static_cast<unsigned char>(decoded.pixels[at + 2]);
            face = face || (r == 0xF0 && g == 0xF0 && b == 0xF0);
            blue = blue || (r == 0 && g == 0 && b == 0xFF);
            green = green || (r == 0 && g == 0xC0 && b == 0);
        }
    }
    EXPECT_TRUE(face);
    EXPECT_TRUE(blue);
    EXPECT_TRUE(green);

    // A file that cannot be written reports it; a folder of that name stays.
    EXPECT_EQ(GetPanelDisplayBitmap(main, &bitmap), 0);
    EXPECT_EQ(SaveBitmapToPNGFile(bitmap, folder.Path().c_str()), UIE_FILE);
    EXPECT_EQ(GetPanelDisplayBitmap(999, &bitmap), UIE_INVALID_PANEL);
}
