#include "runreport.hpp"

#include <gtest/gtest.h>

using namespace conversion;

namespace {

struct FramesCase {
    std::int64_t from;
    std::optional<std::int64_t> to;
    double length;
    std::size_t frames;
};

class StretchFrames : public testing::TestWithParam<FramesCase> {};

// The count agrees with the frame loop's own test, frame by frame.
TEST_P(StretchFrames, CountsTheFramesTheLoopTakes) {
    const Stretch stretch{GetParam().from, GetParam().to};
    const std::size_t frames = stretchFrames(stretch, GetParam().length);
    EXPECT_EQ(frames, GetParam().frames);
    if (frames > 1) {
        EXPECT_TRUE(GetParam().length >= stretch.frameTime(frames - 1) &&
                    stretch.inside(frames - 1));
    }
    EXPECT_FALSE(GetParam().length >= stretch.frameTime(frames) && stretch.inside(frames));
}

INSTANTIATE_TEST_SUITE_P(
    Run, StretchFrames,
    testing::Values(FramesCase{0, std::nullopt, 6.0, 61}, FramesCase{0, std::nullopt, 5.99, 60},
                    FramesCase{0, std::nullopt, 0, 1}, FramesCase{0, std::nullopt, 0.3, 4},
                    FramesCase{0, 2'000'000, 60, 20}, FramesCase{0, 2'050'000, 60, 21},
                    FramesCase{1'500'000, std::nullopt, 2.0, 6},
                    FramesCase{5'000'000, std::nullopt, 2.0, 1}));

TEST(BudgetNote, NamesTheTimeReachedAndTheWaysToFit) {
    RunProgress progress;
    progress.frames = 179;
    progress.videoFrames = 601;
    const std::string note = budgetNote(progress, 3000, 3010);
    EXPECT_EQ(note,
              "the budget of 3000 bytes ended the conversion at 17.9 s of the video's 60.1 s (179 "
              "of 601 frames); to convert it all, try --fit (a lossier quality that fits) or "
              "--budget 10200 (about what it needs at this rate), or convert only what fits with "
              "--to 17.9");
    // The whole stretch converted, or a stop before the budget was reached: nothing to say.
    progress.frames = 601;
    EXPECT_EQ(budgetNote(progress, 3000, 3010), "");
    progress.frames = 179;
    EXPECT_EQ(budgetNote(progress, 3000, 2990), "");
}

}  // namespace
