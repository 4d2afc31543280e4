// Whole conversions of the sample and the real clips (made by the ConvertClips fixture): every
// record is the smallest that any candidate gives, and applied in turn the records show the frames
// that search chose.

#include <gtest/gtest.h>

#include <string>

#include "canvascheck.hpp"
#include "conversions.hpp"
#include "datafile.hpp"
#include "framedecoder.hpp"
#include "plainsearch.hpp"
#include "process.hpp"

using TIFunctions::BitString;

namespace {

class ClipConversion
    : public testing::TestWithParam<std::tuple<const char*, testconversions::Job>> {};

std::string canvasFile(const testconversions::Conversion& c, std::size_t k) {
    std::string name = std::to_string(k);
    name.insert(0, 8 - name.size(), '0');
    return (c.canvases() / (name + ".pbm")).string();
}

}  // namespace

TEST_P(ClipConversion, RecordsAreSmallestAndShowTheChosenFrames) {
    const auto& [clip, job] = GetParam();
    KELVONAR_CONVERSION(conversion, clip, job.name);

    const auto bytes = player::readDataFile(conversion.data().string());
    const auto records = TIFunctions::decodeRecords(bytes, 96 * 64);
    ASSERT_FALSE(records.empty());
    const std::string summary = testprocess::slurp(conversion.summary());
    // The summary counts what was written: "converted frame N of M, ..., B of BUDGET bytes".
    const std::size_t lastLine = summary.rfind("kelvonar: converted frame ");
    ASSERT_NE(lastLine, std::string::npos) << summary;
    const std::string last = summary.substr(lastLine, summary.find('\n', lastLine) - lastLine);
    EXPECT_EQ(last.rfind("kelvonar: converted frame " + std::to_string(records.size()) + " of ", 0),
              0U)
        << last;
    EXPECT_NE(last.find(", " + std::to_string(bytes.size()) + " of "), std::string::npos) << last;

    BitString reference = BitString::filled(96 * 64, false);
    for (std::size_t k = 0; k < records.size(); ++k) {
        const auto canvas = player::readPbm(canvasFile(conversion, k));
        const auto plain = testsearch::plainSearch(canvas.bits, reference, k, job.quality,
                                                   job.interlace ? 1 : 0, 96);
        ASSERT_EQ(records[k].size, 1 + TIFunctions::ByteCount(plain.data)) << "frame " << k;
        ASSERT_EQ(records[k].codeType, plain.codeType) << "frame " << k;
        ASSERT_EQ(records[k].screen, plain.shown) << "frame " << k;
        reference = records[k].screen;
    }
}

INSTANTIATE_TEST_SUITE_P(Clips, ClipConversion,
                         testing::Combine(testing::ValuesIn(testconversions::kClips),
                                          testing::ValuesIn(testconversions::kJobs)),
                         [](const auto& info) {
                             return testconversions::caseName(std::get<0>(info.param),
                                                              std::get<1>(info.param).name);
                         });
