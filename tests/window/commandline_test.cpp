// The converter's command line: the video path taken from the remaining arguments, and the job
// values given as options.

#include "commandline.hpp"

#include <gtest/gtest.h>

#include "defaultreads.hpp"
#include "fileerror.hpp"

using conversion::fileNameFromCommandLine;
using conversion::parseCommandLine;

namespace {

struct PathCase {
    const char* commandLine;
    const char* FileName;
};

class VideoPaths : public testing::TestWithParam<PathCase> {};

TEST_P(VideoPaths, DropTheOuterQuotesOnly) {
    EXPECT_EQ(fileNameFromCommandLine(GetParam().commandLine), GetParam().FileName);
}

INSTANTIATE_TEST_SUITE_P(ConverterCommandLine, VideoPaths,
                         testing::Values(PathCase{"clip.mp4", "clip.mp4"},
                                         PathCase{"a  b.mp4", "a  b.mp4"},
                                         PathCase{"\"a  b.mp4\"", "a  b.mp4"},
                                         PathCase{"\"a.mp4", "a.mp"}, PathCase{"\"", ""},
                                         PathCase{"a\".mp4\"", "a\".mp4\""}, PathCase{"", ""}));

TEST(ConverterCommandLine, JoinsTheOperandsAndReadsTheOptions) {
    const auto options = parseCommandLine(
        {"--headless", "\"my", "clip.mp4\"", "--seed=7", "--output", "out.z80", "--", "--job"});
    EXPECT_EQ(options.FileName, "my clip.mp4\" --jo");
    EXPECT_TRUE(options.headless);
    EXPECT_EQ(options.seed, 7U);
    EXPECT_EQ(options.outputPath, "out.z80");
    EXPECT_FALSE(options.jobPath);
    EXPECT_TRUE(parseCommandLine({"--help"}).help);
    const auto stretch = parseCommandLine({"--from", "1:30.5", "--to=95", "a.mp4"}).stretch;
    EXPECT_EQ(stretch.from, 90'500'000);
    EXPECT_EQ(stretch.to, 95'000'000);
    EXPECT_FALSE(parseCommandLine({"a.mp4"}).keepAspect);
    EXPECT_TRUE(parseCommandLine({"--aspect", "keep", "a.mp4"}).keepAspect);
    EXPECT_FALSE(parseCommandLine({"--aspect=stretch", "a.mp4"}).keepAspect);
    EXPECT_EQ(parseCommandLine({"a.mp4"}).deinterlace, capture::Deinterlace::Auto);
    EXPECT_EQ(parseCommandLine({"--deinterlace", "off", "a.mp4"}).deinterlace,
              capture::Deinterlace::Off);
    EXPECT_EQ(parseCommandLine({"a.mp4"}).threads, 0);
    EXPECT_EQ(parseCommandLine({"--threads=16", "a.mp4"}).threads, 16);
}

TEST(ConverterCommandLine, RefusesWhatItCannotUse) {
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{},
                                                      {"\""},
                                                      {"--seed", "-1", "a.mp4"},
                                                      {"-clip.mp4"},
                                                      {"--output", "a", "--output", "b", "c.mp4"},
                                                      {"--from", "1:75", "a.mp4"},
                                                      {"--from", "2", "--to", "1.5", "a.mp4"},
                                                      {"--from", "2", "--to", "0:02", "a.mp4"},
                                                      {"--to", "0", "a.mp4"},
                                                      {"--aspect", "wide", "a.mp4"},
                                                      {"--deinterlace", "yes", "a.mp4"},
                                                      {"--threads", "17", "a.mp4"},
                                                      {"--threads", "-1", "a.mp4"}}) {
        EXPECT_THROW(parseCommandLine(arguments), support::UsageError) << arguments.size();
    }
}

}  // namespace

namespace {

// Every job value as the converter reads it, in the order of conversion::kJobKeys.
std::vector<double> readAll(const conversion::JobSource& source) {
    std::vector<double> values;
    const conversion::JobValueReport report = [&](const conversion::JobKey&, double value,
                                                  const std::string&) { values.push_back(value); };
    conversion::readLoadValues(source, report);
    conversion::readConvertSettings(source, report);
    return values;
}

const std::vector<double> kDefaults(std::begin(kDefaultValues), std::end(kDefaultValues));
const std::string kSampleJob = KELVONAR_SOURCE_DIR "/samples/thisjob.ini";

struct OptionCase {
    std::vector<std::string> arguments;
    std::vector<std::pair<std::size_t, double>> changed;  // index in kJobKeys, value
};

class JobOptions : public testing::TestWithParam<OptionCase> {};

TEST_P(JobOptions, ChangeExactlyTheirValues) {
    std::vector<std::string> arguments = GetParam().arguments;
    arguments.push_back("clip.mp4");
    const auto options = parseCommandLine(arguments);
    std::vector<double> expected = kDefaults;
    for (const auto& [index, value] : GetParam().changed)
        expected[index] = value;
    EXPECT_EQ(readAll({kSampleJob, options.jobValues, false}), expected);
}

// kJobKeys: 0 media width, 1 height, 2 device width, 3 height, 4 bgwhite, 5 freemem,
// 6 brightness, 7 contrast, 8 quality, 9 dither, 10 preview, 11 wantdebug, 12 interlace.
INSTANTIATE_TEST_SUITE_P(
    ConverterCommandLine, JobOptions,
    testing::Values(
        OptionCase{{"--budget", "5000"}, {{5, 5000}}}, OptionCase{{"--quality", "3"}, {{8, 3}}},
        OptionCase{{"--dither=natural"}, {{9, 2}}}, OptionCase{{"--dither", "3"}, {{9, 3}}},
        OptionCase{{"--brightness", "0"}, {{6, 0}}}, OptionCase{{"--contrast", "128"}, {{7, 128}}},
        OptionCase{{"--video-size", "80x48"}, {{0, 80}, {1, 48}}},
        OptionCase{{"--canvas-size", "128X64"}, {{2, 128}, {3, 64}}},
        OptionCase{{"--background", "white"}, {{4, 1}}},
        OptionCase{{"--no-interlace", "--no-preview"}, {{12, 0}, {10, 0}}},
        OptionCase{{"--interlace", "--preview"}, {}}));

struct RefusalCase {
    std::vector<std::string> arguments;
    std::string named;  // the option the message names
};

class RefusedJobOptions : public testing::TestWithParam<RefusalCase> {};

TEST_P(RefusedJobOptions, NameTheOption) {
    std::vector<std::string> arguments = GetParam().arguments;
    arguments.push_back("clip.mp4");
    try {
        parseCommandLine(arguments);
        ADD_FAILURE() << "accepted";
    } catch (const support::UsageError& error) {
        EXPECT_NE(std::string(error.what()).find(GetParam().named), std::string::npos)
            << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    ConverterCommandLine, RefusedJobOptions,
    testing::Values(RefusalCase{{"--quality", "three"}, "--quality"},
                    RefusalCase{{"--quality", "9"}, "--quality"},
                    RefusalCase{{"--budget", "-1"}, "--budget"},
                    RefusalCase{{"--budget", "1e3"}, "--budget"},
                    RefusalCase{{"--brightness", "256"}, "--brightness"},
                    RefusalCase{{"--contrast", "2.5"}, "--contrast"},
                    RefusalCase{{"--dither", "bayer"}, "--dither"},
                    RefusalCase{{"--video-size", "-94x62"}, "--video-size"},
                    RefusalCase{{"--video-size", "94x0"}, "--video-size"},
                    RefusalCase{{"--video-size", "94"}, "--video-size"},
                    RefusalCase{{"--canvas-size", "97x63"}, "--canvas-size"},
                    RefusalCase{{"--canvas-size", "4096x4096"}, "--canvas-size"},
                    RefusalCase{{"--background", "grey"}, "--background"},
                    RefusalCase{{"--interlace", "--no-interlace"}, "--no-interlace"},
                    RefusalCase{{"--preview", "--no-preview"}, "--no-preview"},
                    RefusalCase{{"--fit", "--quality", "3"}, "--quality"},
                    RefusalCase{{"--no-interlace", "--fit"}, "--no-interlace"}));

TEST(JobSource, OptionsNeedNoJobFileAndPresetsAreTheJobMakersDefaults) {
    const auto options = parseCommandLine({"--quality", "2", "clip.mp4"});
    std::vector<double> expected = kDefaults;
    expected[8] = 2;
    EXPECT_EQ(readAll({"/nonexistent/thisjob.ini", options.jobValues, true}), expected);
    EXPECT_THROW(readAll({"/nonexistent/thisjob.ini", options.jobValues, false}),
                 support::FileError);
}

}  // namespace
