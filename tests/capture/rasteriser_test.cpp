#include "rasteriser.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

using capture::PixelToBit;
using capture::Surface;
using capture::UniformRandom;

namespace {

constexpr std::uint64_t kSeed = 20240607;

constexpr std::int32_t grey(int v) {
    return v | (v << 8) | (v << 16);
}

// How many numbers random has drawn since it was made from seed.
int drawsSince(std::uint64_t seed, UniformRandom& random) {
    const double following = random.next();
    UniformRandom twin(seed);
    for (int n = 0; n < 1000000; ++n) {
        if (twin.next() == following) return n;
    }
    return -1;
}

struct PixelCase {
    const char* name;
    std::int32_t colour;
    double brightness, contrast, mode;
    int expected;
};

void PrintTo(const PixelCase& c, std::ostream* os) {
    *os << c.name;
}

class PixelOutsideBand : public testing::TestWithParam<PixelCase> {};

// Cases decided without chance: the result is fixed and no random number is drawn.
TEST_P(PixelOutsideBand, GivesTheThresholdResultWithoutDrawing) {
    const PixelCase& c = GetParam();
    UniformRandom random(kSeed);
    EXPECT_EQ(PixelToBit(c.colour, c.brightness, c.contrast, c.mode, random), c.expected);
    EXPECT_EQ(drawsSince(kSeed, random), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Capture, PixelOutsideBand,
    testing::Values(
        PixelCase{"BlackAtBrightnessZeroIsLight", grey(0), 0, 0, 0, 0},
        PixelCase{"BlackIsDarkAboveZero", grey(0), 0.5, 0, 0, 1},
        PixelCase{"WhiteIsLightAt255", grey(255), 255, 0, 0, 0},
        PixelCase{"WhiteIsDarkAbove255", grey(255), 255.5, 0, 0, 1},
        PixelCase{"ThresholdItselfIsLight", grey(120), 120, 0, 0, 0},
        PixelCase{"LowerBandEdgeIsDarkMode1", grey(80), 120, 40, 1, 1},
        PixelCase{"LowerBandEdgeIsDarkMode2", grey(80), 120, 40, 2, 1},
        PixelCase{"LowerBandEdgeIsDarkMode3", grey(80), 120, 40, 3, 1},
        PixelCase{"UpperBandEdgeIsLightMode1", grey(160), 120, 40, 1, 0},
        PixelCase{"UpperBandEdgeIsLightMode2", grey(160), 120, 40, 2, 0},
        PixelCase{"UpperBandEdgeIsLightMode3", grey(160), 120, 40, 3, 0},
        PixelCase{"ContrastZeroActsAsMode0Below", grey(119), 120, 0, 1, 1},
        PixelCase{"ContrastZeroActsAsMode0At", grey(120), 120, 0, 2, 0},
        PixelCase{"NegativeContrastBelow", grey(119), 120, -5, 3, 1},
        PixelCase{"NegativeContrastAbove", grey(121), 120, -5, 1, 0},
        PixelCase{"Mode1Point5IsLight", grey(0), 120, 40, 1.5, 0},
        PixelCase{"Mode4IsLight", grey(0), 120, 40, 4, 0},
        PixelCase{"ModeMinus1IsLight", grey(0), 120, 40, -1, 0},
        PixelCase{"OtherModeDrawsNothingInBand", grey(120), 120, 40, 4, 0},
        // -1 splits into R = G = B = -1: the mean is -1, the weighted sum just below -1.
        PixelCase{"MinusOneIsDarkAtZero", -1, 0, 0, 0, 1},
        PixelCase{"MinusOneMeanIsMinusOne", -1, -1, 0, 0, 0},
        PixelCase{"MinusOneWeightedIsMinusTwo", -1, -1, 0, 3, 1},
        // -256: R = 0, G = floor(-256 / 256) = -1, B = floor(-256 / 65536) = -1.
        PixelCase{"NegativeColourKeepsItsSign", -256, 0, 0, 0, 1},
        // Blue beyond eight bits: 0x01000000 has B = 256 and a mean of 85.
        PixelCase{"BlueIsNotMasked", 0x01000000, 85, 0, 0, 0},
        PixelCase{"BlueIsNotMaskedBelow", 0x01000000, 86, 0, 0, 1},
        // Pure green: mean 85, weighted floor(0.56 * 255) = 142.
        PixelCase{"GreenByMean", 0x00FF00, 100, 0, 0, 1},
        PixelCase{"GreenWeighted", 0x00FF00, 100, 0, 3, 0},
        // Pure red: mean 85, weighted floor(0.33 * 255) = 84; pure blue weighted 28.
        PixelCase{"RedByMean", 0x0000FF, 85, 0, 0, 0},
        PixelCase{"RedWeighted", 0x0000FF, 85, 0, 3, 1},
        PixelCase{"BlueWeighted", 0xFF0000, 29, 0, 3, 1},
        PixelCase{"BlueWeightedAtItsValue", 0xFF0000, 28, 0, 3, 0}),
    [](const testing::TestParamInfo<PixelCase>& info) { return std::string(info.param.name); });

TEST(PixelToBit, GreyGivesItsValueUnderBothLuminances) {
    UniformRandom random(kSeed);
    for (int v = 0; v <= 255; ++v) {
        EXPECT_EQ(PixelToBit(grey(v), v, 0, 0, random), 0) << v;
        EXPECT_EQ(PixelToBit(grey(v), v + 1, 0, 0, random), 1) << v;
        EXPECT_EQ(PixelToBit(grey(v), v, 0, 3, random), 0) << v;
        EXPECT_EQ(PixelToBit(grey(v), v + 1, 0, 3, random), 1) << v;
    }
}

class PixelAtThreshold : public testing::TestWithParam<double> {};

// L = T lies inside the band: dark exactly when its random number is 0.5 or more.
TEST_P(PixelAtThreshold, IsDarkWhenTheDrawIsHalfOrMore) {
    UniformRandom random(kSeed);
    UniformRandom twin(kSeed);
    for (int i = 0; i < 500; ++i) {
        const double u = twin.next();
        EXPECT_EQ(PixelToBit(grey(120), 120, 40, GetParam(), random), u >= 0.5 ? 1 : 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Capture, PixelAtThreshold, testing::Values(1.0, 2.0, 3.0));

struct ChanceCase {
    double mode;
    int luminance;
    double darkShare;  // expected share of dark pixels
};

void PrintTo(const ChanceCase& c, std::ostream* os) {
    *os << "mode " << c.mode << " L " << c.luminance;
}

class PixelChance : public testing::TestWithParam<ChanceCase> {};

TEST_P(PixelChance, DarkShareFollowsTheMode) {
    const ChanceCase c = GetParam();
    UniformRandom random(kSeed);
    constexpr int kDraws = 40000;
    int dark = 0;
    for (int i = 0; i < kDraws; ++i)
        dark += PixelToBit(grey(c.luminance), 120, 40, c.mode, random);
    EXPECT_NEAR(static_cast<double>(dark) / kDraws, c.darkShare, 0.01);
}

// Mode 1: one in two across the band. Modes 2 and 3: 1 - (L - (T - C)) / 2C.
INSTANTIATE_TEST_SUITE_P(Capture, PixelChance,
                         testing::Values(ChanceCase{1, 81, 0.5}, ChanceCase{1, 159, 0.5},
                                         ChanceCase{2, 81, 1 - 1.0 / 80}, ChanceCase{2, 100, 0.75},
                                         ChanceCase{2, 140, 0.25}, ChanceCase{2, 159, 1.0 / 80},
                                         ChanceCase{3, 100, 0.75}, ChanceCase{3, 150, 0.125}));

Surface gradient(int width, int height) {
    Surface s{width, height, {}};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            s.colours.push_back(grey((x * 5 + y * 3) % 256));
    }
    return s;
}

TEST(GetCanvas, HasOneBitPerPixelRowByRow) {
    Surface s{96, 64, std::vector<std::int32_t>(96 * 64, grey(255))};
    s.colours[2 * 96 + 5] = grey(0);
    UniformRandom random(kSeed);
    const TIFunctions::BitString canvas = capture::getCanvas(s, 120, 40, 0, random);
    ASSERT_EQ(canvas.size(), 6144U);
    for (std::size_t i = 0; i < canvas.size(); ++i)
        ASSERT_EQ(canvas.bit(i), i == 197) << i;
}

TEST(GetCanvas, EmptySurfaceGivesEmptyCanvas) {
    UniformRandom random(kSeed);
    EXPECT_TRUE(capture::getCanvas(Surface{}, 120, 40, 1, random).empty());
    EXPECT_TRUE(capture::getCanvas(Surface{0, 64, {}}, 120, 40, 1, random).empty());
    EXPECT_THROW(capture::getCanvas(Surface{4, 4, {}}, 120, 40, 1, random), std::invalid_argument);
}

TEST(GetCanvas, BlackAtBrightnessZeroIsBlank) {
    const Surface s{96, 64, std::vector<std::int32_t>(96 * 64, grey(0))};
    UniformRandom random(kSeed);
    EXPECT_EQ(capture::getCanvas(s, 0, 40, 0, random).toText(), std::string(6144, '0'));
}

// Random numbers go, one each, to the pixels inside the band, in sampling order.
TEST(GetCanvas, DrawsOnceForEachPixelInTheBandInOrder) {
    Surface s{5, 3, {}};
    for (int i = 0; i < 15; ++i)
        s.colours.push_back(i % 3 == 0 ? grey(0) : grey(120));
    UniformRandom random(kSeed);
    UniformRandom twin(kSeed);
    const TIFunctions::BitString canvas = capture::getCanvas(s, 120, 40, 1, random);
    for (int i = 0; i < 15; ++i) {
        const int expected = i % 3 == 0 ? 1 : static_cast<int>(std::floor(2 * twin.next()));
        EXPECT_EQ(canvas.bit(static_cast<std::size_t>(i)), expected == 1) << i;
    }
    EXPECT_EQ(drawsSince(kSeed, random), 10);
}

TEST(GetCanvas, ContrastZeroMatchesMode0AndDrawsNothing) {
    const Surface s = gradient(96, 64);
    UniformRandom reference(kSeed);
    const TIFunctions::BitString plain = capture::getCanvas(s, 120, 0, 0, reference);
    for (const double mode : {1.0, 2.0}) {
        UniformRandom random(kSeed);
        EXPECT_EQ(capture::getCanvas(s, 120, 0, mode, random), plain) << mode;
        EXPECT_EQ(drawsSince(kSeed, random), 0) << mode;
    }
    UniformRandom random(kSeed);
    capture::getCanvas(s, 120, -3, 3, random);  // mode 3 has its own luminance
    EXPECT_EQ(drawsSince(kSeed, random), 0);
}

TEST(GetCanvas, OtherModesGiveABlankCanvas) {
    const Surface s = gradient(96, 64);
    for (const double mode : {1.5, 4.0, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
        UniformRandom random(kSeed);
        EXPECT_EQ(capture::getCanvas(s, 200, 40, mode, random).toText(), std::string(6144, '0'));
        EXPECT_EQ(drawsSince(kSeed, random), 0);
    }
}

struct Settings {
    double brightness, contrast, mode;
};

void PrintTo(const Settings& s, std::ostream* os) {
    *os << "T " << s.brightness << " C " << s.contrast << " mode " << s.mode;
}

class CanvasMatchesPixels : public testing::TestWithParam<Settings> {};

// getCanvas works from tables; every bit and every draw must still be PixelToBit's, including
// for colours outside 0 to 0xFFFFFF.
TEST_P(CanvasMatchesPixels, BitForBitAndDrawForDraw) {
    const Settings& c = GetParam();
    UniformRandom colours(99);
    Surface s{97, 61, {}};
    for (int i = 0; i < 97 * 61; ++i) {
        const double range = i % 7 == 0 ? 4294967296.0 : 16777216.0;  // some beyond 24 bits
        s.colours.push_back(
            static_cast<std::int32_t>(static_cast<std::uint32_t>(colours.next() * range)));
    }
    s.colours[3] = -1;
    s.colours[4] = 0xFFFFFF;
    s.colours[5] = 0x1000000;
    UniformRandom random(kSeed);
    UniformRandom twin(kSeed);
    const TIFunctions::BitString canvas =
        capture::getCanvas(s, c.brightness, c.contrast, c.mode, random);
    ASSERT_EQ(canvas.size(), s.colours.size());
    for (std::size_t i = 0; i < s.colours.size(); ++i) {
        ASSERT_EQ(canvas.bit(i),
                  PixelToBit(s.colours[i], c.brightness, c.contrast, c.mode, twin) == 1)
            << i;
    }
    EXPECT_EQ(random.next(), twin.next());
}

INSTANTIATE_TEST_SUITE_P(Capture, CanvasMatchesPixels,
                         testing::Values(Settings{120, 40, 0}, Settings{120, 40, 1},
                                         Settings{120, 40, 2}, Settings{120, 40, 3},
                                         Settings{0.5, 128, 2}, Settings{255.5, 0.25, 3},
                                         Settings{-3, 10, 1}, Settings{300, 100, 3},
                                         Settings{99.7, 13.3, 2}, Settings{120, 40, 1.5}));

class DitherSeed : public testing::TestWithParam<double> {};

TEST_P(DitherSeed, SameSeedGivesSameCanvases) {
    const Surface s = gradient(96, 64);
    UniformRandom first(kSeed);
    UniformRandom second(kSeed);
    UniformRandom other(kSeed + 1);
    for (int frame = 0; frame < 3; ++frame) {
        const TIFunctions::BitString a = capture::getCanvas(s, 120, 40, GetParam(), first);
        EXPECT_EQ(a, capture::getCanvas(s, 120, 40, GetParam(), second));
        EXPECT_NE(a, capture::getCanvas(s, 120, 40, GetParam(), other));
    }
}

INSTANTIATE_TEST_SUITE_P(Capture, DitherSeed, testing::Values(1.0, 2.0, 3.0));

TEST(UniformRandom, StaysInTheUnitIntervalAndIsEven) {
    UniformRandom random(kSeed);
    double sum = 0;
    for (int i = 0; i < 100000; ++i) {
        const double u = random.next();
        ASSERT_GE(u, 0.0);
        ASSERT_LT(u, 1.0);
        sum += u;
    }
    EXPECT_NEAR(sum / 100000, 0.5, 0.005);
    EXPECT_NE(UniformRandom(0).next(), UniformRandom(1).next());
}

TEST(RepeatText, JoinsFloorOfCountCopies) {
    struct Row {
        const char* text;
        double count;
        const char* expected;
    };
    for (const Row row : {Row{"0", 2.7, "00"}, Row{"0", 0, ""}, Row{"0", 0.5, ""}, Row{"0", 1, "0"},
                          Row{"ab", 3, "ababab"}, Row{"", 5, ""}, Row{"0", -3, ""},
                          Row{"0", std::numeric_limits<double>::quiet_NaN(), ""}}) {
        EXPECT_EQ(capture::RepeatText(row.text, row.count), row.expected)
            << row.text << " x " << row.count;
    }
    EXPECT_EQ(capture::RepeatText("0", 96 * 64), std::string(6144, '0'));
    EXPECT_THROW(capture::RepeatText("0", 1e300), std::length_error);
    EXPECT_THROW(capture::RepeatText("0", std::numeric_limits<double>::infinity()),
                 std::length_error);
}

}  // namespace
