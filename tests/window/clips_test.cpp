// Whole conversions of real clips: the written file decodes to the screens the converter kept,
// and every record is the smallest any candidate gives.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "converter.hpp"
#include "framedecoder.hpp"
#include "plainsearch.hpp"

namespace fs = std::filesystem;
using TIFunctions::BitString;

namespace {

const fs::path kVideos = fs::path(KELVONAR_TESTDATA_DIR) / "video";
const fs::path kSample = fs::path(KELVONAR_SOURCE_DIR) / "samples/bounce.mp4";

// Remembers what the conversion did, frame by frame.
class Recorder final : public conversion::RunObserver {
  public:
    void canvasTaken(std::size_t, const BitString& canvas) override { canvases.push_back(canvas); }
    void frameDone(const conversion::FrameReport& report, const capture::Picture&,
                   const conversion::StatisticsLabels& labels) override {
        references.push_back(report.reference);
        last = labels;
    }
    std::vector<BitString> canvases;
    std::vector<BitString> references;
    conversion::StatisticsLabels last;
};

// The bytes of a file of " .db %bbbbbbbb,..." lines.
std::vector<std::uint8_t> readDataLines(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<std::uint8_t> bytes;
    std::string line;
    while (std::getline(file, line)) {
        EXPECT_EQ(line.rfind(" .db", 0), 0U);
        for (std::size_t at = line.find('%'); at != std::string::npos;
             at = line.find('%', at + 1)) {
            bytes.push_back(
                static_cast<std::uint8_t>(std::stoi(line.substr(at + 1, 8), nullptr, 2)));
        }
    }
    return bytes;
}

struct JobCase {
    const char* name;
    const char* extraLines;  // appended to the [media] section of the default job
};

void PrintTo(const JobCase& job, std::ostream* out) {
    *out << job.name;
}

class ClipConversion : public testing::TestWithParam<std::tuple<std::string, JobCase>> {};

}  // namespace

TEST_P(ClipConversion, RecordsAreSmallestAndDecodeToTheKeptScreens) {
    const auto& [clip, job] = GetParam();
    const fs::path video = clip == "bounce.mp4" ? kSample : kVideos / clip;
    if (!fs::exists(video)) GTEST_SKIP() << "test media not found: " << video;

    const fs::path folder =
        fs::temp_directory_path() / ("kelvonar-clip-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::ifstream defaults(fs::path(KELVONAR_SOURCE_DIR) / "samples/thisjob.ini", std::ios::binary);
    std::ostringstream text;
    text << defaults.rdbuf();
    // The later lines of a key are ignored by the reader: put the extra ones first in [media].
    std::string jobText = text.str();
    jobText.insert(jobText.find("[media]\r\n") + 9, job.extraLines);
    std::ofstream(folder / "thisjob.ini", std::ios::binary) << jobText;

    conversion::RunPaths paths;
    paths.job = (folder / "thisjob.ini").string();
    paths.output = (folder / "my.z80").string();
    paths.debugFolder = (folder / "output").string();
    Recorder recorder;
    conversion::Converter converter(paths, 12345, recorder);
    converter.load(video.string());
    const conversion::Statistics statistics = converter.DoConvert();

    const auto bytes = readDataLines(paths.output);
    const auto records = player::decodeRecords(bytes, 96 * 64);
    ASSERT_EQ(records.size(), statistics.frames);
    ASSERT_EQ(recorder.references.size(), records.size());
    ASSERT_EQ(bytes.size(), statistics.bytesWritten);
    EXPECT_EQ(recorder.last.BytesWrittenLabel, std::to_string(bytes.size()));

    const auto& settings = converter.settings();
    EXPECT_EQ(settings.Quality, std::string(job.extraLines).empty() ? 0 : 3);
    BitString reference = BitString::filled(96 * 64, false);
    for (std::size_t k = 0; k < records.size(); ++k) {
        ASSERT_EQ(records[k].screen, recorder.references[k]) << "frame " << k;
        const auto plain = testsearch::plainSearch(recorder.canvases[k], reference, k,
                                                   settings.Quality, settings.WantInterlace, 96);
        ASSERT_EQ(records[k].size, 1 + TIFunctions::ByteCount(plain.data)) << "frame " << k;
        ASSERT_EQ(records[k].codeType, plain.codeType) << "frame " << k;
        reference = records[k].screen;
    }
    fs::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(
    Clips, ClipConversion,
    testing::Combine(testing::Values("bounce.mp4", "realshort.mp4", "DualDiscs.mov",
                                     "Effet_force_magnetique.ogv", "g1.avi", "balle1-vp9.avi",
                                     "blue.mpg", "press.mpg"),
                     testing::Values(JobCase{"Defaults", ""},
                                     JobCase{"Quality3Dither2",
                                             "quality=3\r\ndither=2\r\nbgwhite=1\r\n"})),
    [](const auto& info) {
        std::string name = std::get<0>(info.param) + std::get<1>(info.param).name;
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        }
        return name;
    });
