// Language files applied to panels and menus, and panel pictures written as PNG.
#include <windows.h>

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
    const DecodedPng decoded = DecodePng(png);
    EXPECT_TRUE(decoded.crcsValid);
    EXPECT_EQ(decoded.width, 540u);
    EXPECT_EQ(decoded.height, 440u);
    ASSERT_EQ(decoded.pixels.size(), 440u * (1 + 3 * 540));
    // The panel's face, the blue status text and the green lamp are all in the picture.
    EXPECT_TRUE(decoded.Contains(0xF0F0F0));
    EXPECT_TRUE(decoded.Contains(0x0000FF));
    EXPECT_TRUE(decoded.Contains(0x00C000));

    // A file that cannot be written reports it; a folder of that name stays.
    EXPECT_EQ(GetPanelDisplayBitmap(main, &bitmap), 0);
    EXPECT_EQ(SaveBitmapToPNGFile(bitmap, folder.Path().c_str()), UIE_FILE);
    EXPECT_EQ(GetPanelDisplayBitmap(999, &bitmap), UIE_INVALID_PANEL);
}
