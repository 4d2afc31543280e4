// --fit: the first setting, in order of increasing loss, whose data fit the budget.

#include "fit.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <random>

using conversion::convertCanvases;
using conversion::ConvertSettings;
using conversion::findFit;
using conversion::kFitSteps;
using conversion::replayCanvases;
using TIFunctions::BitString;

namespace {

constexpr std::size_t kWidth = 96;
constexpr std::size_t kHeight = 64;

// Frames that change a little at a time: some bytes lose or gain a pixel or two, a few change
// whole, so that blending and interlacing both save bytes.
std::vector<BitString> driftingCanvases(std::size_t count) {
    std::mt19937 random(11);
    std::vector<std::uint8_t> bytes(kWidth * kHeight / 8);
    for (auto& byte : bytes)
        byte = static_cast<std::uint8_t>(random());
    std::vector<BitString> canvases;
    for (std::size_t k = 0; k < count; ++k) {
        for (int change = 0; change < 120; ++change) {
            auto& byte = bytes[random() % bytes.size()];
            byte ^= change % 8 == 0 ? static_cast<std::uint8_t>(random())
                                    : static_cast<std::uint8_t>(1U << (random() % 8));
        }
        BitString canvas;
        for (const std::uint8_t byte : bytes)
            canvas.pushByte(byte);
        canvases.push_back(canvas);
    }
    return canvases;
}

// The bytes of every frame at step, or nothing when the budget stops the loop before the end.
std::optional<std::size_t> wholeSize(const std::vector<BitString>& canvases,
                                     const ConvertSettings& settings, std::size_t step) {
    std::vector<std::size_t> bytesAfter;
    convertCanvases(canvases, settings, kFitSteps[step], kWidth, kHeight, &bytesAfter);
    if (bytesAfter.size() != canvases.size()) return std::nullopt;
    return bytesAfter.back();
}

TEST(Fit, ChoosesTheLeastLossyStepThatFits) {
    const auto canvases = driftingCanvases(45);
    ConvertSettings settings;
    settings.MaxBytes = std::numeric_limits<double>::infinity();
    std::vector<std::size_t> sizes;
    for (std::size_t step = 0; step < kFitSteps.size(); ++step)
        sizes.push_back(*wholeSize(canvases, settings, step));
    ASSERT_LT(sizes.back(), sizes.front()) << "the steps must make a difference here";

    for (std::size_t step = 0; step < kFitSteps.size(); ++step) {
        SCOPED_TRACE(step);
        settings.MaxBytes = static_cast<double>(sizes[step]);
        const auto fit = findFit(canvases, settings, kWidth, kHeight);
        ASSERT_TRUE(fit.step);
        const auto chosen = *fit.step;
        EXPECT_LE(chosen, step);
        EXPECT_EQ(fit.bytes, sizes[chosen]);
        EXPECT_LE(fit.bytes, sizes[step]);
        // The less lossy step before it does not fit this budget.
        if (chosen > 0) {
            const auto before = wholeSize(canvases, settings, chosen - 1);
            EXPECT_TRUE(!before || static_cast<double>(*before) > settings.MaxBytes);
        }
    }
}

TEST(Fit, CountsTheFramesThatFitWhenNothingDoes) {
    const auto canvases = driftingCanvases(30);
    ConvertSettings settings;
    std::vector<std::size_t> bytesAfter;
    settings.MaxBytes = std::numeric_limits<double>::infinity();
    convertCanvases(canvases, settings, kFitSteps.back(), kWidth, kHeight, &bytesAfter);
    settings.MaxBytes = static_cast<double>(bytesAfter[11]);
    const auto fit = findFit(canvases, settings, kWidth, kHeight);
    EXPECT_FALSE(fit.step);
    EXPECT_EQ(fit.lossiestFrames, 12U);
    settings.MaxBytes = static_cast<double>(bytesAfter[0] - 1);
    EXPECT_EQ(findFit(canvases, settings, kWidth, kHeight).lossiestFrames, 0U);
}

// The host around a replay: asked for no canvas, it counts the frames and may ask for a stop.
class ReplayHost final : public conversion::FrameLoopHost {
  public:
    explicit ReplayHost(std::size_t stopAfter) : m_stopAfter(stopAfter) {}

    double Length() override {
        ADD_FAILURE() << "the replay asked for the video's length";
        return 0;
    }
    BitString getCanvas(double, double, double, double) override {
        ADD_FAILURE() << "the replay asked for a canvas";
        return {};
    }
    std::atomic<bool>& WantToStop() override { return m_stop; }
    void canvasTaken(std::size_t, const BitString&) override { ++taken; }
    void ShowCanvas(const BitString&) override { ++shown; }
    void frameDone(const conversion::FrameReport& report) override {
        frames = report.k + 1;
        if (frames == m_stopAfter) m_stop = true;
    }

    std::size_t taken = 0;
    std::size_t shown = 0;
    std::size_t frames = 0;

  private:
    std::size_t m_stopAfter;
    std::atomic<bool> m_stop{false};
};

TEST(ReplayCanvases, ConvertsEachCanvasOnceUntilTheEndOrAStop) {
    struct Row {
        std::size_t canvases;
        std::size_t stopAfter;  // 0: no stop
        std::size_t frames;
    };
    for (const Row& row : {Row{0, 0, 0}, Row{1, 0, 1}, Row{25, 0, 25}, Row{25, 7, 7}}) {
        SCOPED_TRACE(row.canvases);
        const auto canvases = driftingCanvases(row.canvases);
        ConvertSettings settings;
        settings.MaxBytes = std::numeric_limits<double>::infinity();
        settings.WantPreview = true;
        ReplayHost host(row.stopAfter);
        const BitString records = replayCanvases(settings, kWidth, kHeight, canvases, host);
        EXPECT_EQ(host.frames, row.frames);
        EXPECT_EQ(host.shown, row.frames);
        EXPECT_EQ(host.taken, 0U);
        EXPECT_EQ(records.empty(), row.frames == 0);
    }
}

}  // namespace
