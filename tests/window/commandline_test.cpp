// The converter's command line: the video path taken from the remaining arguments.

#include "commandline.hpp"

#include <gtest/gtest.h>

using conversion::FileNameFromCommandLine;
using conversion::ParseCommandLine;

namespace {

struct PathCase {
    const char* commandLine;
    const char* FileName;
};

class VideoPaths : public testing::TestWithParam<PathCase> {};

TEST_P(VideoPaths, DropTheOuterQuotesOnly) {
    EXPECT_EQ(FileNameFromCommandLine(GetParam().commandLine), GetParam().FileName);
}

INSTANTIATE_TEST_SUITE_P(ConverterCommandLine, VideoPaths,
                         testing::Values(PathCase{"clip.mp4", "clip.mp4"},
                                         PathCase{"a  b.mp4", "a  b.mp4"},
                                         PathCase{"\"a  b.mp4\"", "a  b.mp4"},
                                         PathCase{"\"a.mp4", "a.mp"}, PathCase{"\"", ""},
                                         PathCase{"a\".mp4\"", "a\".mp4\""}, PathCase{"", ""}));

TEST(ConverterCommandLine, JoinsTheOperandsAndReadsTheOptions) {
    const auto options = ParseCommandLine(
        {"--headless", "\"my", "clip.mp4\"", "--seed=7", "--output", "out.z80", "--", "--job"});
    EXPECT_EQ(options.FileName, "my clip.mp4\" --jo");
    EXPECT_TRUE(options.headless);
    EXPECT_EQ(options.seed, 7U);
    EXPECT_EQ(options.outputPath, "out.z80");
    EXPECT_FALSE(options.jobPath);
    EXPECT_TRUE(ParseCommandLine({"--help"}).help);
}

TEST(ConverterCommandLine, RefusesWhatItCannotUse) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{},
          {"\""},
          {"--seed", "-1", "a.mp4"},
          {"-clip.mp4"},
          {"--output", "a", "--output", "b", "c.mp4"}}) {
        EXPECT_THROW(ParseCommandLine(arguments), support::UsageError) << arguments.size();
    }
}

}  // namespace
