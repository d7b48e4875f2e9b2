// Fixtures shared by the export tests: an open handle, and a scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ExportLoader.h"

namespace ferrolink_test {

// The newest code in a handle's error history.
BISS_U32 LastErrorCode(BISS_U32 handle);

// A handle opened for the test and closed after it.
class OpenHandleTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(0, BISS(BISS_Open)(&handle_)); }
    void TearDown() override { BISS(BISS_Close)(handle_); }
    BISS_U32 LastCode() const { return LastErrorCode(handle_); }

    BISS_U32 handle_ = 0;
};

// An open handle and a fresh folder under the temporary folder, both gone afterwards.
class ScratchFolderTest : public OpenHandleTest {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string PathOf(const char *name) const { return (folder_ / name).string(); }
    std::string ReadText(const char *name) const;
    void WriteText(const char *name, const std::string &text) const;

    std::filesystem::path folder_;
};

} // namespace ferrolink_test
