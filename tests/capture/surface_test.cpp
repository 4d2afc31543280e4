#include "surface.hpp"

#include <gtest/gtest.h>

#include <array>
#include <stdexcept>
#include <utility>

using capture::Layout;
using capture::Picture;
using capture::Surface;

namespace {

constexpr std::int32_t kBlack = 0x000000;
constexpr std::int32_t kWhite = 0xFFFFFF;

// A picture whose pixel (x, y) has red x + 1 and green y + 1, so every pixel is told apart.
Picture numberedPicture(int width, int height) {
    Picture picture{width, height, {}};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            picture.rgb.push_back(static_cast<std::uint8_t>(x + 1));
            picture.rgb.push_back(static_cast<std::uint8_t>(y + 1));
            picture.rgb.push_back(7);
        }
    }
    return picture;
}

std::int32_t numbered(int x, int y) {
    return (x + 1) | ((y + 1) << 8) | (7 << 16);
}

std::int32_t at(const Surface& s, int x, int y) {
    return s.colours[y * s.width + x];
}

Layout layoutFor(float player, float canvas, double wantWhite = 0) {
    return capture::InitMediaPlayer(player, player, canvas, canvas, wantWhite);
}

TEST(ComposeSurface, DefaultPlayerLeavesAOnePixelMargin) {
    const Layout layout = capture::InitMediaPlayer(94, 62, 96, 64, 1);
    const Picture picture = numberedPicture(94, 62);
    const Surface s = capture::composeSurface(layout, &picture);
    ASSERT_EQ(s.width, 96);
    ASSERT_EQ(s.height, 64);
    for (int x = 0; x < 96; ++x) {
        EXPECT_EQ(at(s, x, 0), kWhite);
        EXPECT_EQ(at(s, x, 63), kWhite);
    }
    for (int y = 0; y < 64; ++y) {
        EXPECT_EQ(at(s, 0, y), kWhite);
        EXPECT_EQ(at(s, 95, y), kWhite);
    }
    EXPECT_EQ(at(s, 1, 1), numbered(0, 0));
    EXPECT_EQ(at(s, 94, 62), numbered(93, 61));
    EXPECT_EQ(at(s, 40, 20), numbered(39, 19));
}

struct OffsetCase {
    float player;    // player and picture side
    float canvas;    // VBackG side
    int firstShown;  // surface index of picture index 0, may be negative
};

void PrintTo(const OffsetCase& c, std::ostream* os) {
    *os << c.player << " on " << c.canvas;
}

class FractionalOffset : public testing::TestWithParam<OffsetCase> {};

// A surface pixel shows what covers its centre; the picture covers [offset, offset + size).
TEST_P(FractionalOffset, PixelCentresDecide) {
    const OffsetCase c = GetParam();
    const Layout layout = layoutFor(c.player, c.canvas);
    const auto side = static_cast<int>(c.player);
    const Picture picture = numberedPicture(side, side);
    const Surface s = capture::composeSurface(layout, &picture);
    for (int i = 0; i < s.width; ++i) {
        const int shown = i - c.firstShown;
        const std::int32_t expected = shown >= 0 && shown < side ? numbered(shown, shown) : kBlack;
        EXPECT_EQ(at(s, i, i), expected) << "pixel " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Capture, FractionalOffset,
    testing::Values(OffsetCase{95, 96, 0},    // offset 0.5: the last column is background
                    OffsetCase{94, 96, 1},    // offset 1
                    OffsetCase{93, 96, 1},    // offset 1.5
                    OffsetCase{96, 96, 0},    // no margin
                    OffsetCase{97, 96, -1},   // offset -0.5: the first picture column is cut
                    OffsetCase{100, 96, -2},  // only the central part
                    OffsetCase{1, 96, 47},    // offset 47.5
                    OffsetCase{10, 15, 2}));  // offset 2.5

TEST(ComposeSurface, PlayerLargerThanCanvasShowsItsCentre) {
    const Layout layout = capture::InitMediaPlayer(100, 70, 96, 64, 1);
    const Picture picture = numberedPicture(100, 70);
    const Surface s = capture::composeSurface(layout, &picture);
    EXPECT_EQ(at(s, 0, 0), numbered(2, 3));
    EXPECT_EQ(at(s, 95, 63), numbered(97, 66));
}

TEST(ComposeSurface, NoPictureForEmptyOrMissingPlayer) {
    const Picture picture = numberedPicture(10, 10);
    const std::array<std::pair<double, double>, 4> sizes = {
        {{0.0, 62.0}, {94.0, 0.0}, {-5.0, 62.0}, {94.0, -1.0}}};
    for (const auto& [w, h] : sizes) {
        Layout layout = capture::InitMediaPlayer(w, h, 96, 64, 1);
        const Surface s = capture::composeSurface(layout, &picture);
        ASSERT_EQ(s.colours.size(), 96U * 64U);
        for (const std::int32_t c : s.colours)
            ASSERT_EQ(c, kWhite) << w << " x " << h;
    }
    const Layout layout = capture::InitMediaPlayer(94, 62, 96, 64, 0);
    const Surface s = capture::composeSurface(layout, nullptr);
    for (const std::int32_t c : s.colours)
        ASSERT_EQ(c, kBlack);
}

TEST(ComposeSurface, FollowsThePreviewOffLayout) {
    Layout layout = capture::InitMediaPlayer(94, 62, 96, 64, 1);
    capture::SetPreviewLayout(layout, false);
    const Picture picture = numberedPicture(94, 62);
    const Surface s = capture::composeSurface(layout, &picture);
    EXPECT_EQ(at(s, 1, 1), numbered(0, 0));
    EXPECT_EQ(at(s, 1, 0), kWhite);
}

TEST(ComposeSurface, CanvasSidesAreWholePixels) {
    EXPECT_EQ(capture::surfaceSide(96.9f), 96);
    EXPECT_EQ(capture::surfaceSide(1), 1);
    EXPECT_EQ(capture::surfaceSide(0.99f), 0);
    EXPECT_EQ(capture::surfaceSide(-3), 0);
    EXPECT_EQ(capture::surfaceSide(capture::kMaxSurfaceSide), capture::kMaxSurfaceSide);
    EXPECT_THROW(capture::surfaceSide(1e9f), std::length_error);
    const Layout layout = capture::InitMediaPlayer(94, 62, 0.5, 64, 0);
    EXPECT_TRUE(capture::composeSurface(layout, nullptr).colours.empty());
}

TEST(ComposeSurface, RejectsAPictureShorterThanItsSize) {
    const Layout layout = capture::InitMediaPlayer(94, 62, 96, 64, 0);
    Picture picture = numberedPicture(94, 62);
    picture.rgb.pop_back();
    EXPECT_THROW(capture::composeSurface(layout, &picture), std::invalid_argument);
}

}  // namespace
