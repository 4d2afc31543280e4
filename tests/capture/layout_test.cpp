#include "layout.hpp"

#include <gtest/gtest.h>

#include <array>

using capture::Layout;
using capture::Rect;

namespace {

struct LayoutCase {
    const char* name;
    double width, height, dWidth, dHeight;
    bool preview;
    Rect vBackG, player, vBorder, tBorder, tgt;
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
    *os << c.name;
}

class LayoutNumbers : public testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutNumbers, PlacesEveryControl) {
    const LayoutCase& c = GetParam();
    Layout layout = capture::InitMediaPlayer(c.width, c.height, c.dWidth, c.dHeight, 0);
    capture::SetPreviewLayout(layout, c.preview);
    EXPECT_EQ(layout.backScreen, (Rect{8, 8, 344, 272}));
    EXPECT_EQ(layout.vBackG, c.vBackG);
    EXPECT_EQ(layout.player, c.player);
    EXPECT_EQ(layout.vBorder, c.vBorder);
    EXPECT_EQ(layout.tBorder, c.tBorder);
    EXPECT_EQ(layout.tgt, c.tgt);
    EXPECT_EQ(layout.previewVisible, c.preview);
}

INSTANTIATE_TEST_SUITE_P(
    Capture, LayoutNumbers,
    testing::Values(
        LayoutCase{"DefaultsWithPreview",
                   94,
                   62,
                   96,
                   64,
                   true,
                   {132, 44, 96, 64},
                   {133, 45, 94, 62},
                   {130, 42, 100, 68},
                   {130, 178, 100, 68},
                   {132, 180, 96, 64}},
        // Without the preview only the tops of the video group move; TBorder and TGT stay put.
        LayoutCase{"DefaultsWithoutPreview",
                   94,
                   62,
                   96,
                   64,
                   false,
                   {132, 112, 96, 64},
                   {133, 113, 94, 62},
                   {130, 110, 100, 68},
                   {130, 178, 100, 68},
                   {132, 180, 96, 64}},
        LayoutCase{"OddCanvasWithPreview",
                   94,
                   62,
                   95,
                   63,
                   true,
                   {132.5f, 44.5f, 95, 63},
                   {133, 45, 94, 62},
                   {130.5f, 42.5f, 99, 67},
                   {130.5f, 178.5f, 99, 67},
                   {132.5f, 180.5f, 95, 63}},
        LayoutCase{"OddCanvasWithoutPreview",
                   94,
                   62,
                   95,
                   63,
                   false,
                   {132.5f, 112.5f, 95, 63},
                   {133, 113, 94, 62},
                   {130.5f, 110.5f, 99, 67},
                   {130.5f, 178.5f, 99, 67},
                   {132.5f, 180.5f, 95, 63}},
        LayoutCase{"PlayerLargerThanCanvas",
                   100,
                   70,
                   96,
                   64,
                   true,
                   {132, 44, 96, 64},
                   {130, 41, 100, 70},
                   {130, 42, 100, 68},
                   {130, 178, 100, 68},
                   {132, 180, 96, 64}}),
    [](const testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

class LayoutCentre : public testing::TestWithParam<std::tuple<int, int, bool>> {};

// The rasteriser reads VBackG's rectangle, so the player must stay centred on it in both layouts.
TEST_P(LayoutCentre, VideoGroupSharesOneCentre) {
    const auto [canvas, player, preview] = GetParam();
    Layout layout = capture::InitMediaPlayer(player, player * 0.75, canvas, canvas * 0.5, 1);
    capture::SetPreviewLayout(layout, preview);
    const auto centreX = [](const Rect& r) { return r.left + r.width * 0.5; };
    const auto centreY = [](const Rect& r) { return r.top + r.height * 0.5; };
    EXPECT_FLOAT_EQ(centreX(layout.player), centreX(layout.vBackG));
    EXPECT_FLOAT_EQ(centreY(layout.player), centreY(layout.vBackG));
    EXPECT_FLOAT_EQ(centreX(layout.vBorder), centreX(layout.vBackG));
    EXPECT_FLOAT_EQ(centreY(layout.vBorder), centreY(layout.vBackG));
    EXPECT_EQ(layout.vBorder.width, layout.vBackG.width + 4);
    EXPECT_EQ(layout.vBorder.height, layout.vBackG.height + 4);
}

INSTANTIATE_TEST_SUITE_P(Capture, LayoutCentre,
                         testing::Combine(testing::Values(64, 96, 97, 128),
                                          testing::Values(1, 47, 94, 95, 150), testing::Bool()));

struct KeepCase {
    const char* name;
    double aspect;
    Rect kept;
};

void PrintTo(const KeepCase& c, std::ostream* os) {
    *os << c.name;
}

class LayoutKeep : public testing::TestWithParam<KeepCase> {};

// The picture whole in the player's 94 x 62 area at (133, 45.5), centred on whole pixels.
TEST_P(LayoutKeep, FitsThePictureWholeAndCentred) {
    const Rect player{133, 45.5F, 94, 62};
    EXPECT_EQ(capture::keepAspect(player, GetParam().aspect), GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(Capture, LayoutKeep,
                         testing::Values(KeepCase{"Portrait", 9.0 / 16, Rect{162, 45.5F, 35, 62}},
                                         KeepCase{"Wide", 16.0 / 9, Rect{133, 49.5F, 94, 53}},
                                         KeepCase{"Same", 94.0 / 62, Rect{133, 45.5F, 94, 62}},
                                         KeepCase{"Sliver", 1e-6, Rect{179, 45.5F, 1, 62}},
                                         KeepCase{"Unknown", 0, Rect{133, 45.5F, 94, 62}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Layout, SizesAreHeldInSinglePrecision) {
    const Layout layout = capture::InitMediaPlayer(94.1, 62.7, 96, 64, 0);
    EXPECT_EQ(layout.player.width, 94.1f);
    EXPECT_EQ(layout.player.height, 62.7f);
    EXPECT_EQ(layout.player.left, static_cast<float>((96.0 - 94.1f) * 0.5 + 132));
}

TEST(Layout, BackgroundFollowsWantWhite) {
    struct Row {
        double wantWhite;
        int index;
    };
    // WantWhite x 15 rounds half to even: 7.5 -> 8, 4.5 -> 4, 10.5 -> 10, 0.5 -> 0.
    for (const Row row : {Row{0, 0}, Row{1, 15}, Row{0.5, 8}, Row{0.3, 4}, Row{0.7, 10},
                          Row{1.0 / 30, 0}, Row{0.1, 2}, Row{-1, 0}, Row{2, 15}}) {
        EXPECT_EQ(capture::backgroundIndex(row.wantWhite), row.index) << row.wantWhite;
        const Layout layout = capture::InitMediaPlayer(94, 62, 96, 64, row.wantWhite);
        EXPECT_EQ(layout.background, capture::PaletteColour(row.index)) << row.wantWhite;
    }
}

TEST(Layout, PaletteHoldsTheSixteenStandardColours) {
    // 0x00BBGGRR: red in the low byte.
    constexpr std::array<std::uint32_t, 16> kExpected = {
        0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
        0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(capture::PaletteColour(i), kExpected[i]) << i;
    EXPECT_EQ(capture::PaletteColour(16), 0U);
    EXPECT_EQ(capture::PaletteColour(-1), 0U);
}

}  // namespace
