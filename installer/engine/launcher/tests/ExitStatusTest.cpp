#include "engine_mode.h"
#include "exit_status.h"
#include "log_failure_box.h"
#include "setup_engine.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(MapExitStatus, Table)
{
    struct Case {
        DWORD status;
        DWORD exit_code;
    };
    const Case cases[] = {
        {0x80070BC2, 3010},       {0x00070BC2, 3010},       {0x80070642, 1602}, {0x8007064A, 1610},
        {0, 0},                   {1, 0},                   {0x80004004, 1602}, {0x8004070A, 0x8004070A},
        {0x8000FFFF, 0x8000FFFF}, {0x8007000E, 0x000E},     {2, 2},
        // A failure never maps to 0.
        {0x80070000, 1603},       {0x00070000, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MapExitStatus(static_cast<HRESULT>(c.status)), c.exit_code) << std::hex << c.status;
}

struct BoxRecorder {
    static std::wstring text;
    static std::wstring caption;
    static UINT type;
    static int WINAPI Record(HWND owner, LPCWSTR t, LPCWSTR c, UINT ty)
    {
        EXPECT_EQ(owner, nullptr);
        text = t;
        caption = c;
        type = ty;
        return IDOK;
    }
};
std::wstring BoxRecorder::text;
std::wstring BoxRecorder::caption;
UINT BoxRecorder::type = 0;

TEST(LogFailureBox, TextCaptionAndIcon)
{
    const message_box_function previous = SetMessageBoxFunction(&BoxRecorder::Record);
    ShowLogFailureMessage(L"Korvanstilmer Wizard");
    SetMessageBoxFunction(previous);
    EXPECT_EQ(BoxRecorder::caption, L"Korvanstilmer Wizard");
    EXPECT_EQ(BoxRecorder::type, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(BoxRecorder::text.substr(0, 15), L"0x8004071a:656\n");
}

TEST(CreateEngine, OutPointerAndReferenceCount)
{
    EXPECT_EQ(CreateEngine(nullptr), E_POINTER);
    CSetupEngine* engine = nullptr;
    ASSERT_EQ(CreateEngine(&engine), S_OK);
    ASSERT_NE(engine, nullptr);
    EXPECT_EQ(SetupEngine(), static_cast<ISetupEngine*>(engine));
    EXPECT_EQ(engine->AddRef(), 1u) << "created without a reference";
    EXPECT_EQ(engine->Release(), 0u);
}

} // namespace
