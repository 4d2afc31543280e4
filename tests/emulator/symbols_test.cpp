#include "symbols.hpp"

#include <gtest/gtest.h>

namespace {

using emulator::Symbols;

TEST(Symbols, ReadsTheListerOutput) {
    const auto symbols = Symbols::parse(
        "00009d95 t .text\n00009d97 t frame_begin\r\n\n0000A1c0 T player_data\n", "p.sym");
    EXPECT_EQ(symbols.at("frame_begin"), 0x9D97);
    EXPECT_EQ(symbols.at("player_data"), 0xA1C0);
    EXPECT_FALSE(symbols.find("frame_shown"));
    EXPECT_THROW(symbols.at("frame_shown"), support::FileError);
}

class SymbolsFault : public testing::TestWithParam<const char*> {};

TEST_P(SymbolsFault, NamesTheLine) {
    try {
        Symbols::parse(std::string("00009d95 t ok\n") + GetParam() + "\n", "p.sym");
        FAIL() << "accepted " << GetParam();
    } catch (const support::FileError& error) {
        EXPECT_EQ(error.line(), 2U);
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, SymbolsFault,
                         testing::Values("frame_begin", "00010000 t far", "9d95 t", "9d95 tt x",
                                         "9d95 t two names", "zz t x"));

}  // namespace
