#include "ModelStateFixture.h"

#include <algorithm>

using namespace calvista;

void ModelStateTest::SetUp()
{
    const auto sys = SysFieldTable();
    const auto dorvel = DorvelFieldTable();
    savedFields_.assign(sys.begin(), sys.end());
    savedFields_.insert(savedFields_.end(), dorvel.begin(), dorvel.end());
    InitAllDatabuffers();
}

void ModelStateTest::TearDown()
{
    const auto sys = SysFieldTable();
    const auto dorvel = DorvelFieldTable();
    std::copy_n(savedFields_.begin(), sys.size(), sys.begin());
    std::copy_n(savedFields_.begin() + sys.size(), dorvel.size(), dorvel.begin());
    InitAllDatabuffers();
}

void ModelStateTest::PutBytes(std::uint16_t address, std::vector<std::uint16_t> cells)
{
    for (std::size_t i = 0; i < cells.size(); ++i)
        ASSERT_TRUE(UpdateBuffers(address, static_cast<std::uint16_t>(i), cells[i]));
}

void ModelStateTest::PutText(std::uint16_t address, std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i)
        ASSERT_TRUE(UpdateBuffers(address, static_cast<std::uint16_t>(i), static_cast<unsigned char>(text[i])));
}
