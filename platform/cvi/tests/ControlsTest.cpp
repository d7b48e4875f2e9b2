// Values, attributes, ring lists and graphs as the program sets them.
#include <cstring>
#include <vector>

#include "UiFixture.h"

TEST_F(UiTest, NumericsKeepTheirValueTypeAndLimits)
{
    unsigned short count = 0;
    ASSERT_EQ(GetCtrlVal(main, MAIN_COUNT, &count), 0);
    EXPECT_EQ(count, 350);

    struct Case {
        double set;
        double held;
    };
    const Case cases[] = {{123.0, 123.0}, {600.0, 500.0}, {-1.0, 500.0}, {12.9, 12.0}, {65536.0 + 7, 7.0}};
    for (const Case &entry : cases) {
        ASSERT_EQ(SetCtrlVal(main, MAIN_COUNT, entry.set), 0);
        double held = 0.0;
        GetCtrlVal(main, MAIN_COUNT, &held);
        EXPECT_EQ(held, entry.held) << entry.set;
    }
    // A negative number into an unsigned numeric wraps as a C conversion does, then meets the limit.
    EXPECT_EQ(SetCtrlAttribute(main, MAIN_COUNT, ATTR_MAX_VALUE, 65535), 0);
    SetCtrlVal(main, MAIN_COUNT, -1);
    GetCtrlVal(main, MAIN_COUNT, &count);
    EXPECT_EQ(count, 65535);

    SetCtrlVal(pageOne, PAGE_ONE_RATE, 0.1015625);
    double rate = 0.0;
    GetCtrlVal(pageOne, PAGE_ONE_RATE, &rate);
    EXPECT_DOUBLE_EQ(rate, 0.1015625);
    EXPECT_EQ(driver.DisplayedText(pageOne, PAGE_ONE_RATE), "0.102");

    // Limits: narrowing moves the value in; reversed limits are refused.
    EXPECT_EQ(SetCtrlAttribute(main, MAIN_COUNT, ATTR_MAX_VALUE, 127), 0);
    GetCtrlVal(main, MAIN_COUNT, &count);
    EXPECT_EQ(count, 127);
    EXPECT_EQ(SetCtrlAttribute(main, MAIN_COUNT, ATTR_MIN_VALUE, 200), UIE_INVALID_VALUE);
    EXPECT_EQ(SetCtrlAttribute(main, MAIN_COUNT, ATTR_MAX_VALUE, 70000), UIE_INVALID_VALUE);
    double maximum = 0.0;
    GetCtrlAttribute(main, MAIN_COUNT, ATTR_MAX_VALUE, &maximum);
    EXPECT_EQ(maximum, 127.0);
}

TEST_F(UiTest, TextControlsHoldTextAndReportItsLength)
{
    ASSERT_EQ(SetCtrlVal(main, MAIN_NAME, "far longer than ten"), 0);
    int length = 0;
    ASSERT_EQ(GetCtrlAttribute(main, MAIN_NAME, ATTR_STRING_TEXT_LENGTH, &length), 0);
    EXPECT_EQ(length, 10);
    std::vector<char> text(length + 1);
    ASSERT_EQ(GetCtrlVal(main, MAIN_NAME, text.data()), 0);
    EXPECT_STREQ(text.data(), "far longer");

    SetCtrlVal(main, MAIN_STATUS, "Line one\r\nLine two");
    GetCtrlAttribute(main, MAIN_STATUS, ATTR_STRING_TEXT_LENGTH, &length);
    EXPECT_EQ(length, 18);

    // Values of the wrong kind are refused, not guessed.
    int number = 0;
    EXPECT_EQ(GetCtrlVal(main, MAIN_NAME, &number), UIE_TYPE_MISMATCH);
    EXPECT_EQ(SetCtrlVal(main, MAIN_NAME, 5), UIE_TYPE_MISMATCH);
    EXPECT_EQ(SetCtrlVal(main, MAIN_COUNT, "5"), UIE_TYPE_MISMATCH);
    EXPECT_EQ(GetCtrlAttribute(main, MAIN_COUNT, ATTR_STRING_TEXT_LENGTH, &length), UIE_INVALID_ATTRIBUTE);
    EXPECT_EQ(SetCtrlVal(main, 99, 1), UIE_INVALID_CONTROL);
    EXPECT_EQ(SetCtrlVal(0, MAIN_COUNT, 1), UIE_INVALID_PANEL);
}

TEST_F(UiTest, RingValuesSelectItemsAndListsKeepTheSelection)
{
    int mode = -1;
    GetCtrlVal(main, MAIN_MODE, &mode);
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(SetCtrlVal(main, MAIN_MODE, 5), 0);
    EXPECT_EQ(driver.DisplayedText(main, MAIN_MODE), "OTHER");
    EXPECT_EQ(SetCtrlVal(main, MAIN_MODE, 4), UIE_INVALID_VALUE);
    GetCtrlVal(main, MAIN_MODE, &mode);
    EXPECT_EQ(mode, 5);

    // Inserting before the chosen item keeps it chosen; deleting it chooses its place.
    ASSERT_EQ(InsertListItem(main, MAIN_MODE, 0, "- - -", 255), 0);
    GetCtrlVal(main, MAIN_MODE, &mode);
    EXPECT_EQ(mode, 5);
    int count = 0;
    GetNumListItems(main, MAIN_MODE, &count);
    EXPECT_EQ(count, 4);
    ASSERT_EQ(DeleteListItem(main, MAIN_MODE, 3, 1), 0);
    GetCtrlVal(main, MAIN_MODE, &mode);
    EXPECT_EQ(mode, 1);
    ASSERT_EQ(InsertListItem(main, MAIN_MODE, -1, "LAST", 9), 0);
    EXPECT_EQ(driver.ListLabels(main, MAIN_MODE), (std::vector<std::string>{"- - -", "BISS", "SSI", "LAST"}));
    EXPECT_EQ(InsertListItem(main, MAIN_MODE, 6, "X", 1), UIE_INVALID_INDEX);
    EXPECT_EQ(DeleteListItem(main, MAIN_MODE, 4, 1), UIE_INVALID_INDEX);
    ASSERT_EQ(DeleteListItem(main, MAIN_MODE, 1, -1), 0);
    GetNumListItems(main, MAIN_MODE, &count);
    EXPECT_EQ(count, 1);

    ASSERT_EQ(ClearListCtrl(main, MAIN_MODE), 0);
    EXPECT_EQ(GetCtrlVal(main, MAIN_MODE, &mode), UIE_INVALID_INDEX);
    InsertListItem(main, MAIN_MODE, -1, "0.60*Vdda", 0);
    GetCtrlVal(main, MAIN_MODE, &mode);
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(InsertListItem(main, MAIN_COUNT, 0, "x", 1), UIE_INVALID_CONTROL);
}

TEST_F(UiTest, AttributesOfControlsPagesAndPanels)
{
    ASSERT_EQ(SetCtrlAttribute(main, MAIN_APPLY, ATTR_DIMMED, 1), 0);
    ASSERT_EQ(SetCtrlAttribute(main, MAIN_STATUS, ATTR_TEXT_COLOR, 0xFF0000), 0);
    ASSERT_EQ(SetCtrlAttribute(main, MAIN_STATUS, ATTR_LEFT, 154), 0);
    int value = 0;
    GetCtrlAttribute(main, MAIN_APPLY, ATTR_DIMMED, &value);
    EXPECT_EQ(value, 1);
    GetCtrlAttribute(main, MAIN_STATUS, ATTR_TEXT_COLOR, &value);
    EXPECT_EQ(value, 0xFF0000);
    GetCtrlAttribute(main, MAIN_STATUS, ATTR_LEFT, &value);
    EXPECT_EQ(value, 154);
    EXPECT_EQ(SetCtrlAttribute(main, MAIN_APPLY, ATTR_ENABLED, 1), UIE_INVALID_ATTRIBUTE);
    EXPECT_EQ(SetCtrlAttribute(main, MAIN_TICK, ATTR_VISIBLE, 1), UIE_INVALID_ATTRIBUTE);
    EXPECT_EQ(SetCtrlAttribute(main, MAIN_APPLY, 9999, 1), UIE_INVALID_ATTRIBUTE);

    ASSERT_EQ(SetTabPageAttribute(main, MAIN_PAGES, 1, ATTR_VISIBLE, 0), 0);
    GetTabPageAttribute(main, MAIN_PAGES, 1, ATTR_VISIBLE, &value);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(SetTabPageAttribute(main, MAIN_PAGES, 2, ATTR_DIMMED, 1), UIE_INVALID_INDEX);
    EXPECT_EQ(SetTabPageAttribute(main, MAIN_MODE, 0, ATTR_DIMMED, 1), UIE_INVALID_CONTROL);

    ASSERT_EQ(SetPanelAttribute(main, ATTR_TITLE, "Another title"), 0);
    char title[32];
    GetPanelAttribute(main, ATTR_TITLE, title);
    EXPECT_STREQ(title, "Another title");
    ASSERT_EQ(SetPanelAttribute(main, ATTR_CLOSE_ENABLED, 0), 0);
    GetPanelAttribute(main, ATTR_CLOSE_ENABLED, &value);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(SetPanelAttribute(main, ATTR_TITLE, 1), UIE_TYPE_MISMATCH);
}

TEST_F(UiTest, TabPagesAreShownOnlyWhenActiveOnAShownPanel)
{
    EXPECT_FALSE(driver.IsShown(pageOne));
    DisplayPanel(main);
    EXPECT_TRUE(driver.IsShown(pageOne));
    EXPECT_FALSE(driver.IsShown(pageTwo));
    int active = -1;
    GetActiveTabPage(main, MAIN_PAGES, &active);
    EXPECT_EQ(active, 0);
    ASSERT_EQ(SetActiveTabPage(main, MAIN_PAGES, 1), 0);
    EXPECT_TRUE(driver.IsShown(pageTwo));
    EXPECT_FALSE(driver.IsShown(pageOne));
    SetTabPageAttribute(main, MAIN_PAGES, 1, ATTR_VISIBLE, 0);
    EXPECT_FALSE(driver.IsShown(pageTwo));
    EXPECT_EQ(SetActiveTabPage(main, MAIN_PAGES, 2), UIE_INVALID_INDEX);
    EXPECT_EQ(DisplayPanel(pageOne), UIE_NOT_ALLOWED);
}

TEST_F(UiTest, PanelsShowHideAndTakeTheFocus)
{
    const int dialog = LoadPanel(0, "Cvi_Test.uir", DIALOG);
    EXPECT_EQ(GetActivePanel(), 0);
    DisplayPanel(main);
    EXPECT_EQ(GetActivePanel(), main);
    DisplayPanel(dialog);
    EXPECT_EQ(GetActivePanel(), dialog);
    ASSERT_EQ(SetActivePanel(main), 0);
    EXPECT_EQ(GetActivePanel(), main);
    HidePanel(main);
    EXPECT_EQ(GetActivePanel(), dialog);
    EXPECT_EQ(SetActivePanel(main), UIE_NOT_ALLOWED);

    // A popup keeps the focus until it goes away.
    DisplayPanel(main);
    ASSERT_EQ(InstallPopup(dialog), 0);
    EXPECT_EQ(GetActivePanel(), dialog);
    EXPECT_EQ(SetActivePanel(main), UIE_NOT_ALLOWED);
    HidePanel(dialog);
    EXPECT_EQ(GetActivePanel(), main);
}

TEST_F(UiTest, GraphsKeepABoundedNumberOfPlots)
{
    const int y[] = {1, 5, 3, 9};
    const unsigned char bytes[] = {2, 2, 4, 8};
    int first = PlotY(pageOne, PAGE_ONE_PLOT, y, 4, VAL_INTEGER, VAL_CONNECTED_POINTS, 24, 0, 1, 0x0000FF);
    ASSERT_GT(first, 0);
    int last = first;
    for (int i = 0; i < 20; ++i)
        last = PlotXY(pageOne, PAGE_ONE_PLOT, y, bytes, 4, VAL_INTEGER, VAL_UNSIGNED_CHAR, VAL_SCATTER, 24, 0, 1,
                      0xFF0000);
    EXPECT_EQ(last, first + 20);
    EXPECT_EQ(driver.PlotCount(pageOne, PAGE_ONE_PLOT), 4);
    // Deleting a plot that was dropped for room is no fault; one never made is.
    EXPECT_EQ(DeleteGraphPlot(pageOne, PAGE_ONE_PLOT, first, 1), 0);
    EXPECT_EQ(DeleteGraphPlot(pageOne, PAGE_ONE_PLOT, last, 1), 0);
    EXPECT_EQ(driver.PlotCount(pageOne, PAGE_ONE_PLOT), 3);
    EXPECT_EQ(DeleteGraphPlot(pageOne, PAGE_ONE_PLOT, last + 5, 1), UIE_INVALID_VALUE);
    EXPECT_EQ(DeleteGraphPlot(pageOne, PAGE_ONE_PLOT, -1, 0), 0);
    EXPECT_EQ(driver.PlotCount(pageOne, PAGE_ONE_PLOT), 0);

    EXPECT_EQ(SetCtrlAttribute(pageOne, PAGE_ONE_PLOT, ATTR_GRAPH_PLOT_LAYER, 3), 0);
    EXPECT_EQ(SetCtrlAttribute(pageOne, PAGE_ONE_PLOT, ATTR_GRAPH_REDRAW, 0), 0);
    int layer = 0;
    GetCtrlAttribute(pageOne, PAGE_ONE_PLOT, ATTR_GRAPH_PLOT_LAYER, &layer);
    EXPECT_EQ(layer, 3);
    EXPECT_EQ(PlotY(pageOne, PAGE_ONE_PLOT, y, 4, 42, 0, 0, 0, 1, 0), UIE_INVALID_VALUE);
    EXPECT_EQ(PlotY(pageOne, PAGE_ONE_PLOT, nullptr, 4, VAL_INTEGER, 0, 0, 0, 1, 0), UIE_INVALID_VALUE);
    EXPECT_EQ(PlotY(main, MAIN_COUNT, y, 4, VAL_INTEGER, 0, 0, 0, 1, 0), UIE_INVALID_CONTROL);
    EXPECT_EQ(SetCtrlAttribute(main, MAIN_COUNT, ATTR_GRAPH_REDRAW, 1), UIE_INVALID_ATTRIBUTE);
}
