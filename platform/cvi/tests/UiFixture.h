// A headless run-time with the test panel loaded (hidden) and its pages and menu bar at hand.
#pragma once

#include <gtest/gtest.h>

#include "Cvi_Test_uir.h"
#include "TestCallbacks.h"
#include "cvi/TestDriver.h"
#include "cvi/UserInterface.h"

class UiTest : public ::testing::Test {
protected:
    UiTest()
    {
        ResetLog();
        main = LoadPanel(0, "Cvi_Test.uir", MAIN);
        GetPanelHandleFromTabPage(main, MAIN_PAGES, 0, &pageOne);
        GetPanelHandleFromTabPage(main, MAIN_PAGES, 1, &pageTwo);
        menuBar = GetPanelMenuBar(main);
    }

    // Shows the main panel and makes the second page the active one.
    void ShowSecondPage()
    {
        DisplayPanel(main);
        SetActiveTabPage(main, MAIN_PAGES, 1);
    }

    cvi::TestDriver driver;
    int main = 0;
    int pageOne = 0;
    int pageTwo = 0;
    int menuBar = 0;
};

using cvi::InputStatus;
