// Tests share the module's register image and field tables: each test starts from a fresh image
// and the tables' start values, and leaves them that way.
#pragma once

#include "RegisterFields.h"
#include "RegisterImage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>
#include <vector>

class ModelStateTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes bytes into consecutive image cells from address on.
    static void PutBytes(std::uint16_t address, std::vector<std::uint16_t> cells);
    static void PutText(std::uint16_t address, std::string_view text);

private:
    std::vector<calvista::RegField> savedFields_;
};
