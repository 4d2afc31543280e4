#include "dryxconvert.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "framedecoder.hpp"
#include "testframes.hpp"
#include "tifunctions.hpp"

using namespace conversion;
using TIFunctions::BitString;

namespace {

constexpr std::size_t kWidth = 96;
constexpr std::size_t kHeight = 64;

// A video made of canvases given by a function of the time, with a fixed length.
class ScriptedHost : public FrameLoopHost {
  public:
    ScriptedHost(double length, std::function<BitString(double)> canvasAt)
        : m_length(length), m_canvasAt(std::move(canvasAt)) {}

    double Length() override { return m_length; }
    BitString getCanvas(double t, double, double, double) override {
        times.push_back(t);
        if (onCanvas) onCanvas(times.size() - 1, m_stop);
        return m_canvasAt(t);
    }
    std::atomic<bool>& WantToStop() override { return m_stop; }
    void ShowCanvas(const BitString&) override { ++previews; }
    void saveDebugImage(std::size_t k) override { debugImages.push_back(k); }
    void frameDone(const FrameReport& report) override {
        references.push_back(report.reference);
        candidates.push_back(report.choice.candidate);
        labels = labelTexts(report.statistics, maxBytes, 94, 62);
    }

    std::function<void(std::size_t, std::atomic<bool>&)> onCanvas;
    std::vector<double> times;
    std::vector<BitString> references;
    std::vector<int> candidates;
    std::vector<std::size_t> debugImages;
    int previews = 0;
    double maxBytes = 24000;
    StatisticsLabels labels;

  private:
    double m_length;
    std::function<BitString(double)> m_canvasAt;
    std::atomic<bool> m_stop{false};
};

BitString blank(double) {
    return BitString::filled(kWidth * kHeight, false);
}

// Canvases of a moving scene: each tenth of a second shows a bar one step further on, with noise.
BitString moving(double t) {
    const auto step = static_cast<std::size_t>(t * 10 + 0.5);
    testframes::Generator generate(static_cast<std::uint32_t>(step % 3));
    BitString canvas = BitString::fromText(generate.noise(kWidth * kHeight, 0.05));
    for (std::size_t y = 10; y < 50; ++y) {
        for (std::size_t x = 0; x < 12; ++x)
            canvas.setBit(y * kWidth + (x + step * 5) % kWidth, true);
    }
    return canvas;
}

ConvertSettings defaults() {
    ConvertSettings s;
    s.MaxBytes = 24000;
    s.Brightness = 120;
    s.Contrast = 40;
    s.WantPreview = true;
    s.WantInterlace = 1;
    return s;
}

std::vector<std::uint8_t> bytesOf(const BitString& bits) {
    return {bits.bytes().begin(), bits.bytes().end()};
}

}  // namespace

TEST(DryxConvert, BlankVideoGivesTheThreeByteRecordEveryFrame) {
    ScriptedHost host(2.05, blank);
    const BitString output = DryxConvert(defaults(), kWidth, kHeight, host);
    // Positions 0, 0.1, ..., 2.0: 21 frames.
    ASSERT_EQ(host.times.size(), 21U);
    EXPECT_DOUBLE_EQ(host.times.back(), 2.0);
    std::vector<std::uint8_t> expected;
    for (int i = 0; i < 21; ++i)
        expected.insert(expected.end(), {0b00000011, 0b00111111, 0});
    EXPECT_EQ(bytesOf(output), expected);
    EXPECT_EQ(host.labels.CompressionLabel, "100");
    EXPECT_EQ(host.labels.FramesExpectedLabel, "8000");
    EXPECT_EQ(host.labels.FramesCountLabel[3], "21 / 0");
    EXPECT_EQ(host.labels.BytesWrittenLabel, "63");
    EXPECT_EQ(host.labels.FrameStatusLabel, "21");
    EXPECT_EQ(host.labels.PercentDone, "0");
}

TEST(DryxConvert, FirstFrameIsAlwaysConverted) {
    ScriptedHost host(0, moving);
    ConvertSettings settings = defaults();
    settings.MaxBytes = 0;
    const BitString output = DryxConvert(settings, kWidth, kHeight, host);
    EXPECT_EQ(host.times.size(), 1U);
    const auto records = TIFunctions::decodeRecords(output.bytes(), kWidth * kHeight);
    ASSERT_EQ(records.size(), 1U);
    EXPECT_FALSE(records[0].difference);
}

TEST(DryxConvert, BudgetIsTestedBeforeEachFrameOnly) {
    ScriptedHost host(100, moving);
    ConvertSettings settings = defaults();
    settings.MaxBytes = 700;
    host.maxBytes = settings.MaxBytes;
    const BitString output = DryxConvert(settings, kWidth, kHeight, host);
    const auto records = TIFunctions::decodeRecords(output.bytes(), kWidth * kHeight);
    ASSERT_GE(records.size(), 2U);
    // Every record but the last started below the budget; the last one may overshoot it.
    EXPECT_LT(records.back().offset, 700U);
    EXPECT_GE(output.size() / 8, 700U);
    EXPECT_GE(std::stoi(host.labels.PercentDone), 100);
}

TEST(DryxConvert, CancelDuringTheFirstFrameStillWritesThatFrame) {
    ScriptedHost host(100, moving);
    host.onCanvas = [](std::size_t k, std::atomic<bool>& stop) {
        if (k == 0) stop = true;
    };
    const BitString output = DryxConvert(defaults(), kWidth, kHeight, host);
    EXPECT_EQ(TIFunctions::decodeRecords(output.bytes(), kWidth * kHeight).size(), 1U);
}

TEST(DryxConvert, StopRequestFromBeforeTheStartIsCleared) {
    ScriptedHost host(0.3, moving);
    host.WantToStop() = true;
    DryxConvert(defaults(), kWidth, kHeight, host);
    EXPECT_EQ(host.times.size(), 4U);
}

TEST(DryxConvert, InterlacedCandidatesOnlyWhenInterlaceIsExactlyOne) {
    for (double interlace : {0.0, 0.5, 2.0, 1.0}) {
        ScriptedHost host(6, moving);
        ConvertSettings settings = defaults();
        settings.WantInterlace = interlace;
        settings.Quality = 2;
        DryxConvert(settings, kWidth, kHeight, host);
        const int highest = *std::max_element(host.candidates.begin(), host.candidates.end());
        if (interlace == 1) {
            EXPECT_GT(highest, 4);
        } else {
            EXPECT_LE(highest, 4) << "interlace " << interlace;
        }
    }
}

TEST(DryxConvert, QualityNineKeepsTheScreenBetweenTenthFrames) {
    ScriptedHost host(3, moving);
    ConvertSettings settings = defaults();
    settings.Quality = 9;
    DryxConvert(settings, kWidth, kHeight, host);
    for (std::size_t k = 1; k < host.references.size(); ++k) {
        if (k % 10 == 0) {
            EXPECT_EQ(host.references[k], moving(static_cast<double>(k) / 10)) << k;
        } else {
            EXPECT_EQ(host.references[k], host.references[k - 1]) << k;
        }
    }
}

// The records decode, from a blank screen, to exactly the screens the loop kept.
TEST(DryxConvert, RecordsDecodeToTheReferenceFrames) {
    for (double quality : {0.0, 3.0}) {
        ScriptedHost host(8, moving);
        ConvertSettings settings = defaults();
        settings.Quality = quality;
        const BitString output = DryxConvert(settings, kWidth, kHeight, host);
        const auto records = TIFunctions::decodeRecords(output.bytes(), kWidth * kHeight);
        ASSERT_EQ(records.size(), host.references.size());
        for (std::size_t i = 0; i < records.size(); ++i)
            ASSERT_EQ(records[i].screen, host.references[i]) << i;
    }
}

struct StretchCase {
    const char* name;
    double length;
    Stretch stretch;
    std::int64_t firstHundredth;  // frame k is at (firstHundredth + 10 k) / 100 seconds
    std::size_t frames;
};

class Stretches : public testing::TestWithParam<StretchCase> {};

// Frame times are compared exactly: a time on a frame's start must pick that frame, as in a run
// of the whole video.
TEST_P(Stretches, FramesStartAtFromAndEndBeforeToOrTheEnd) {
    const StretchCase& c = GetParam();
    ScriptedHost host(c.length, blank);
    DryxConvert(defaults(), kWidth, kHeight, host, c.stretch);
    ASSERT_EQ(host.times.size(), c.frames);
    for (std::size_t k = 0; k < c.frames; ++k) {
        EXPECT_EQ(host.times[k],
                  static_cast<double>(c.firstHundredth + 10 * static_cast<std::int64_t>(k)) / 100)
            << k;
    }
}

INSTANTIATE_TEST_SUITE_P(
    DryxConvert, Stretches,
    testing::Values(StretchCase{"Whole", 4.05, {}, 0, 41},
                    StretchCase{"FromOn", 5, {1'500'000, std::nullopt}, 150, 36},
                    StretchCase{"FromTo", 5, {1'500'000, 2'000'000}, 150, 5},
                    StretchCase{"ToJustAfterAFrame", 5, {1'500'000, 2'000'001}, 150, 6},
                    StretchCase{"ToPastTheEnd", 2.05, {1'000'000, 9'000'000}, 100, 11},
                    StretchCase{"OffTheTenths", 5, {1'250'000, 1'300'000}, 125, 1},
                    StretchCase{"OnlyTo", 5, {0, 700'000}, 0, 7}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DryxConvert, DebugImagesNeedThePreview) {
    ScriptedHost withPreview(0.2, blank);
    ConvertSettings settings = defaults();
    settings.WantDebug = 1;
    DryxConvert(settings, kWidth, kHeight, withPreview);
    EXPECT_EQ(withPreview.debugImages, (std::vector<std::size_t>{0, 1, 2}));
    EXPECT_EQ(withPreview.previews, 3);

    ScriptedHost withoutPreview(0.2, blank);
    settings.WantPreview = false;
    DryxConvert(settings, kWidth, kHeight, withoutPreview);
    EXPECT_TRUE(withoutPreview.debugImages.empty());
    EXPECT_EQ(withoutPreview.previews, 0);
}

TEST(LabelTexts, GuardsTheDivisionsAndShowsPlainNumbers) {
    Statistics statistics;
    EXPECT_EQ(labelTexts(statistics, 24000, 94, 62).FramesCountLabel[11], "0 / 0");
    EXPECT_EQ(labelTexts(statistics, 24000.5, 94, 62).BytesToDoLabel, "24000.5");

    statistics.frames = 2;
    statistics.bytesWritten = 2000;
    const StatisticsLabels noBudget = labelTexts(statistics, 0, 94, 62);
    EXPECT_EQ(noBudget.PercentDone, "0");
    EXPECT_EQ(noBudget.FramesExpectedLabel, "0");
    // An average record larger than the picture at one bit per pixel: negative compression.
    EXPECT_EQ(noBudget.CompressionLabel, "-37");
    EXPECT_EQ(labelTexts(statistics, 24000, 0, 62).CompressionLabel, "0");
    EXPECT_EQ(labelTexts(statistics, 3000, 94, 62).PercentDone, "66");
}

TEST(PlainNumber, IsPlainDecimalUnlessItWouldRunLong) {
    EXPECT_EQ(plainNumber(0), "0");
    EXPECT_EQ(plainNumber(-0.0), "0");
    EXPECT_EQ(plainNumber(8000), "8000");
    EXPECT_EQ(plainNumber(-37), "-37");
    EXPECT_EQ(plainNumber(1e20), "100000000000000000000");
    EXPECT_EQ(plainNumber(0.25), "0.25");
    EXPECT_EQ(plainNumber(-1e300), "-1e+300");
    EXPECT_EQ(plainNumber(1.5e-300), "1.5e-300");
    EXPECT_EQ(plainNumber(1e300 * 1e300), "more than 1.8e+308");
}
