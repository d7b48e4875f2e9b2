// The run tests' program. An engine under test that asks for a proxy starts
// this program with "-embedded:"; it ends at once, as when the user refuses
// elevation, so the engine finds no proxy. Otherwise it runs the tests.

#include <gtest/gtest.h>

#include <windows.h>

#include <cwchar>

int main(int argc, char** argv)
{
    if (std::wcsstr(GetCommandLineW(), L"-embedded:"))
        return ERROR_CANCELLED;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
