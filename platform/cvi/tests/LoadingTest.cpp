// Loading panels and menu bars from the embedded resource and from files, and the resource
// format's errors.
#include <string>

#include "TestFiles.h"
#include "UiFixture.h"
#include "UirFormat.h"

TEST_F(UiTest, PanelComesFromTheEmbeddedResourceWithIdsByPosition)
{
    ASSERT_GT(main, 0);
    EXPECT_EQ(MAIN_TICK, 1);
    EXPECT_EQ(MAIN_MODE, 2);
    EXPECT_EQ(MAIN_PAGES, 7);
    EXPECT_EQ(PAGE_ONE_RATE, 3);
    EXPECT_EQ(TEST_MENU_FILE, 2);
    EXPECT_EQ(TEST_MENU_SEP, 4);
    EXPECT_EQ(TEST_MENU_LANGUAGE, 7);
    EXPECT_EQ(TEST_MENU_LANGUAGES, 8);
    EXPECT_EQ(TEST_MENU_ENGLISH, 10);

    char title[64];
    ASSERT_EQ(GetPanelAttribute(main, ATTR_TITLE, title), 0);
    EXPECT_STREQ(title, "Test Panel");
    int visible = -1;
    GetPanelAttribute(main, ATTR_VISIBLE, &visible);
    EXPECT_EQ(visible, 0);
    EXPECT_GT(pageOne, 0);
    EXPECT_GT(pageTwo, 0);
    EXPECT_NE(pageOne, pageTwo);
    EXPECT_GT(menuBar, 0);
    int checked = 0;
    ASSERT_EQ(GetMenuBarAttribute(menuBar, TEST_MENU_ENGLISH, ATTR_CHECKED, &checked), 0);
    EXPECT_EQ(checked, 1);
    EXPECT_EQ(driver.MenuLabel(menuBar, TEST_MENU_OPEN), "__Open");
}

TEST_F(UiTest, EachLoadIsANewPanelAndDiscardTakesItsPagesAlong)
{
    const int second = LoadPanel(0, "cvi_test.UIR", MAIN);
    ASSERT_GT(second, 0);
    EXPECT_NE(second, main);
    int page = 0;
    GetPanelHandleFromTabPage(second, MAIN_PAGES, 0, &page);
    const int bar = GetPanelMenuBar(second);
    EXPECT_EQ(DiscardPanel(second), 0);
    EXPECT_EQ(DiscardPanel(second), UIE_INVALID_PANEL);
    EXPECT_EQ(SetCtrlVal(page, PAGE_ONE_RATE, 1.0), UIE_INVALID_PANEL);
    EXPECT_EQ(SetMenuBarAttribute(bar, TEST_MENU_OPEN, ATTR_DIMMED, 1), UIE_INVALID_MENU);
    // The first panel is untouched.
    EXPECT_EQ(SetCtrlVal(pageOne, PAGE_ONE_RATE, 1.0), 0);
}

TEST_F(UiTest, LoadFailuresAreReported)
{
    EXPECT_EQ(LoadPanel(0, "Cvi_Test.uir", 99), UIE_RESOURCE_NOT_FOUND);
    EXPECT_EQ(LoadPanel(0, "NoSuch.uir", 1), UIE_RESOURCE_NOT_FOUND);
    EXPECT_EQ(LoadPanel(0, "Cvi_Test.uir", PAGE_ONE), UIE_NOT_ALLOWED);
    EXPECT_EQ(LoadPanel(main, "Cvi_Test.uir", DIALOG), UIE_NOT_ALLOWED);
    EXPECT_EQ(DiscardPanel(pageOne), UIE_NOT_ALLOWED);
    EXPECT_EQ(LoadMenuBar(0, "Cvi_Test.uir", 7), UIE_RESOURCE_NOT_FOUND);

    // From a file: a format error and a callback the program does not have.
    EXPECT_EQ(LoadPanel(0, "data/Malformed.uir", 1), UIE_RESOURCE_FORMAT);
    EXPECT_EQ(LoadPanel(0, "data/UnknownCallback.uir", 1), UIE_UNKNOWN_CALLBACK);
    EXPECT_GT(LoadPanel(0, "data/UnknownCallback.uir", 2), 0);
}

TEST_F(UiTest, MenuBarLoadedAloneBelongsToNoPanel)
{
    const int bar = LoadMenuBar(0, "Cvi_Test.uir", TEST_MENU);
    ASSERT_GT(bar, 0);
    EXPECT_NE(bar, menuBar);
    EXPECT_EQ(SetMenuBarAttribute(bar, TEST_MENU_QUIT, ATTR_DIMMED, 1), 0);
    int dimmed = 1;
    GetMenuBarAttribute(menuBar, TEST_MENU_QUIT, ATTR_DIMMED, &dimmed);
    EXPECT_EQ(dimmed, 0);
    EXPECT_EQ(SetMenuBarAttribute(bar, TEST_MENU_FILE, ATTR_CHECKED, 1), UIE_INVALID_ATTRIBUTE);
    EXPECT_EQ(SetMenuBarAttribute(bar, 1, ATTR_DIMMED, 1), UIE_INVALID_MENU);
    EXPECT_EQ(SetMenuBarAttribute(bar, 11, ATTR_DIMMED, 1), UIE_INVALID_MENU);
    EXPECT_EQ(DiscardMenuBar(bar), 0);
}

TEST(UirFormat, RefusesMalformedResourcesWithTheLine)
{
    struct Case {
        const char *text;
        int line;
    };
    const Case cases[] = {
        {"panel P 1\n  numeric N\n", 3},                         // no end
        {"panel P 1\n  slider S\nend\n", 2},                     // unknown kind
        {"panel P 1\n  numeric N min=5 max=1\nend\n", 2},        // limits reversed
        {"panel P 1\n  numeric N type=uchar max=300\nend\n", 2}, // limit outside the type
        {"panel P 1\n  numeric N size=3\nend\n", 2},             // unknown setting
        {"panel P 1\n  text A\n  text A\nend\n", 3},             // name twice
        {"panel P 1\nend\npanel Q 1\nend\n", 3},                 // id twice
        {"panel P 1\n  ring R value=4\n    item 1 \"A\"\n  end\nend\n", 4},
        {"panel P 1\n  tab T\n  end\nend\n", 3},                 // tab without page
        {"panel P 1 menubar=M\nend\n", 1},                       // menu bar not declared before
        {"menubar M 1\n  menu F \"F\"\n    submenu S\n    end\n  end\nend\n", 3},
        {"panel P 1\n  timer T interval=0\nend\n", 2},
        {"panel P 1 title=\"open\nend\n", 1},                    // unterminated quote
        {"end\n", 1},
        {"panel 1P 1\nend\n", 1},                                // not a name
        {"panel P 1\n  text A-B\nend\n", 2},                     // not a name
    };
    for (const Case &entry : cases) {
        const cvi::UirParseResult result = cvi::ParseUir(entry.text);
        EXPECT_FALSE(result.ok) << entry.text;
        EXPECT_EQ(result.errorLine, entry.line) << entry.text << " -> " << result.error;
    }
}

TEST(UirFormat, ControlNamesMayStartWithADigit)
{
    // The constant P_1VPP_OUT is still a name; a panel's own constant would not be.
    const cvi::UirParseResult result = cvi::ParseUir("panel P 1\n  ring 1VPP_OUT\n  end\nend\n");
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.document.panels.at(0).panel.controls.at(0).name, "1VPP_OUT");
}

TEST(UirFormat, ReadsDefaultsAndValues)
{
    const cvi::UirParseResult result = cvi::ParseUir(
        "# comment\n"
        "panel P 3 title=\"A \\\"quoted\\\" title\"\n"
        "  numeric N type=uint value=0xFFFFFFFF\n"
        "  ring R value=5\n    item 1 \"one\"\n    item 5 \"five\"\n  end\n"
        "  timer T interval=0.02 enabled=1\n"
        "end\n");
    ASSERT_TRUE(result.ok) << result.error;
    const cvi::Panel &panel = result.document.panels.at(0).panel;
    EXPECT_EQ(panel.title, "A \"quoted\" title");
    EXPECT_EQ(panel.controls.at(0).number.value, 4294967295.0);
    EXPECT_EQ(panel.controls.at(0).number.minimum, 0.0);
    EXPECT_EQ(panel.controls.at(1).list.selected, 1);
    EXPECT_EQ(panel.controls.at(2).timer.intervalUs, 20000);
    EXPECT_TRUE(panel.controls.at(2).timer.enabled);
    EXPECT_GT(panel.controls.at(0).width, 0);
}
