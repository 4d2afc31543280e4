#include "cycleplot.hpp"

#include <gtest/gtest.h>

using namespace emulator;

namespace {

TEST(CyclePlot, TicksAreOneTwoOrFiveTimesAPowerOfTen) {
    struct Case {
        double span;
        int ticks;
        double step;
    };
    for (const Case& c : {Case{495'000, 6, 100'000}, Case{59, 10, 10}, Case{9, 10, 1},
                          Case{36'000, 10, 5'000}, Case{0.3, 10, 0.05}, Case{0, 10, 1}}) {
        EXPECT_DOUBLE_EQ(tickStep(c.span, c.ticks), c.step) << c.span;
    }
}

TEST(CyclePlot, WritesThousandsSeparators) {
    EXPECT_EQ(withThousands(0), "0");
    EXPECT_EQ(withThousands(999), "999");
    EXPECT_EQ(withThousands(1000), "1,000");
    EXPECT_EQ(withThousands(450'000), "450,000");
    EXPECT_EQ(withThousands(12'345'678), "12,345,678");
}

TEST(CyclePlot, GroupsHoldTheLeastMeanAndMost) {
    std::vector<FrameTiming> frames;
    for (const std::uint64_t used : {10, 30, 20, 5, 7}) {
        frames.push_back({frames.size(), 100, 100 + used, 0});
    }
    const std::vector<FrameGroup> groups = groupFrames(frames, 2);
    ASSERT_EQ(groups.size(), 3U);
    EXPECT_EQ(groups[0].least, 10U);
    EXPECT_EQ(groups[0].most, 30U);
    EXPECT_DOUBLE_EQ(groups[0].mean, 20);
    EXPECT_EQ(groups[1].first, 2U);
    EXPECT_DOUBLE_EQ(groups[1].mean, 12.5);
    EXPECT_EQ(groups[2].count, 1U);
    EXPECT_EQ(groups[2].least, 7U);
    EXPECT_EQ(groups[2].most, 7U);
    EXPECT_TRUE(groupFrames(frames, 0).empty());
}

}  // namespace
