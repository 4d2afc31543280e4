// kelvonar-play's command line.

#include <gtest/gtest.h>

#include <ostream>

#include "commandline.hpp"

using player::parsePlayerArguments;
using support::UsageError;

TEST(PlayerCommandLine, TakesOptionsAnywhereInEitherSpelling) {
    const auto options =
        parsePlayerArguments({"--gif", "a.gif", "my.z80", "--scale=2", "--width", "94",
                              "--height=62", "--info", "--check", "dump", "--lossy", "--mp4=v.mp4",
                              "--frames", "pngs", "--dump-bytes", "my.bin"});
    EXPECT_EQ(options.file, "my.z80");
    EXPECT_EQ(options.gifPath, "a.gif");
    EXPECT_EQ(options.mp4Path, "v.mp4");
    EXPECT_EQ(options.framesFolder, "pngs");
    EXPECT_EQ(options.checkFolder, "dump");
    EXPECT_EQ(options.bytesPath, "my.bin");
    EXPECT_EQ(options.scale, 2);
    EXPECT_EQ(options.size.width, 94);
    EXPECT_EQ(options.size.height, 62);
    EXPECT_TRUE(options.info);
    EXPECT_TRUE(options.lossy);
    EXPECT_TRUE(options.wantsOutput());
}

TEST(PlayerCommandLine, DefaultsToTheWindowOnTheCalculatorScreen) {
    const auto options = parsePlayerArguments({"--", "-my.z80"});
    EXPECT_EQ(options.file, "-my.z80");
    EXPECT_EQ(options.size.width, 96);
    EXPECT_EQ(options.size.height, 64);
    EXPECT_EQ(options.scale, 4);
    EXPECT_FALSE(options.wantsOutput());
    EXPECT_EQ(parsePlayerArguments({"my.z80", "--start", "12", "--grab", "w.png"}).start, 12U);
    EXPECT_TRUE(parsePlayerArguments({"--help"}).help);
    EXPECT_TRUE(parsePlayerArguments({"-h", "extra", "words"}).help);
    EXPECT_TRUE(parsePlayerArguments({"--version"}).version);
}

namespace {

struct BadLine {
    const char* name;
    std::vector<std::string> arguments;
    const char* message;
};

// Test names and failures show the case by its name.
void PrintTo(const BadLine& c, std::ostream* os) {
    *os << c.name;
}

class BadCommandLines : public testing::TestWithParam<BadLine> {};

}  // namespace

TEST_P(BadCommandLines, AreUsageErrors) {
    try {
        parsePlayerArguments(GetParam().arguments);
        FAIL() << "accepted";
    } catch (const UsageError& error) {
        EXPECT_EQ(std::string(error.what()), GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    PlayerCommandLine, BadCommandLines,
    testing::Values(
        BadLine{"NoFile", {"--info"}, "no data file given"},
        BadLine{
            "TwoFiles", {"a.z80", "b.z80"}, "one data file at a time, not \"a.z80\" and \"b.z80\""},
        BadLine{"UnknownOption",
                {"my.z80", "--fps", "20"},
                "unknown option --fps (a file name that begins with \"-\" goes after \"--\")"},
        BadLine{"ScaleZero",
                {"my.z80", "--scale", "0"},
                "--scale needs a whole number from 1 to 32, not \"0\""},
        BadLine{"NegativeWidth",
                {"my.z80", "--width", "-96"},
                "--width needs a whole number from 1 to 1024, not \"-96\""},
        BadLine{"PictureTooLarge",
                {"my.z80", "--width", "1024", "--scale", "9"},
                "the pictures would be 9216 x 576 pixels; at most 8192 on a side (see --scale)"},
        BadLine{"LossyAlone", {"my.z80", "--lossy"}, "--lossy goes with --check"},
        BadLine{"StartWithOutput",
                {"my.z80", "--info", "--start", "3"},
                "--start and --grab are for the window, which does not open with --info, --gif, "
                "--mp4, --frames, --check or --dump-bytes"}),
    [](const auto& info) { return std::string(info.param.name); });
