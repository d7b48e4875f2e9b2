#include "HandleFixtures.h"

#include <windows.h>

#include <fstream>
#include <sstream>

namespace ferrolink_test {

namespace fs = std::filesystem;

BISS_U32 LastErrorCode(BISS_U32 handle)
{
    BISS_U32 code = 0, level = 0;
    char text[BISS_ERROR_TEXT_SIZE];
    BISS(BISS_GetLastError)(handle, &code, &level, text);
    return code;
}

void ScratchFolderTest::SetUp()
{
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = fs::temp_directory_path() / ("ferrolink_" + std::to_string(GetCurrentProcessId()) + "_" +
                                           test->test_suite_name() + "_" + test->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    OpenHandleTest::SetUp();
}

void ScratchFolderTest::TearDown()
{
    OpenHandleTest::TearDown();
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
}

std::string ScratchFolderTest::ReadText(const char *name) const
{
    std::ifstream file(PathOf(name), std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void ScratchFolderTest::WriteText(const char *name, const std::string &text) const
{
    std::ofstream(PathOf(name), std::ios::binary) << text;
}

} // namespace ferrolink_test
