#include "preview.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

using capture::Picture;
using TIFunctions::BitString;

namespace {

bool isBlack(const Picture& p, int x, int y) {
    const std::uint8_t* px = p.rgb.data() + (static_cast<std::size_t>(y) * p.width + x) * 3;
    return px[0] == 0 && px[1] == 0 && px[2] == 0;
}

bool isWhite(const Picture& p, int x, int y) {
    const std::uint8_t* px = p.rgb.data() + (static_cast<std::size_t>(y) * p.width + x) * 3;
    return px[0] == 255 && px[1] == 255 && px[2] == 255;
}

TEST(ShowCanvas, DrawsOnesBlackRowByRow) {
    BitString bits = BitString::filled(96 * 64, false);
    bits.setBit(2 * 96 + 5, true);
    bits.setBit(96 * 64 - 1, true);
    const Picture p = capture::ShowCanvas(bits, 96, 64);
    ASSERT_EQ(p.width, 96);
    ASSERT_EQ(p.height, 64);
    ASSERT_EQ(p.rgb.size(), 96U * 64U * 3U);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 96; ++x) {
            const bool one = (x == 5 && y == 2) || (x == 95 && y == 63);
            ASSERT_TRUE(one ? isBlack(p, x, y) : isWhite(p, x, y)) << x << ", " << y;
        }
    }
}

TEST(ShowCanvas, AllOnesTurnsTheWholePictureBlack) {
    const Picture p = capture::ShowCanvas(BitString::filled(6144, true), 96, 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 96; ++x)
            ASSERT_TRUE(isBlack(p, x, y));
    }
}

TEST(ShowCanvas, MissingBitsAreWhite) {
    const Picture p = capture::ShowCanvas(BitString::fromText("111"), 4, 2);
    EXPECT_TRUE(isBlack(p, 2, 0));
    EXPECT_TRUE(isWhite(p, 3, 0));
    EXPECT_TRUE(isWhite(p, 0, 1));
    EXPECT_TRUE(isWhite(capture::ShowCanvas(BitString{}, 4, 2), 3, 1));
}

TEST(ShowCanvas, ExtraBitsAreIgnored) {
    const Picture p = capture::ShowCanvas(BitString::fromText("0110"
                                                              "1111"),
                                          2, 2);
    EXPECT_TRUE(isWhite(p, 0, 0));
    EXPECT_TRUE(isBlack(p, 1, 0));
    EXPECT_TRUE(isBlack(p, 0, 1));
    EXPECT_TRUE(isWhite(p, 1, 1));
    EXPECT_EQ(p.rgb.size(), 12U);
}

TEST(ShowCanvas, NoSizeGivesAnEmptyPicture) {
    EXPECT_TRUE(capture::ShowCanvas(BitString::filled(8, true), 0, 64).empty());
    EXPECT_TRUE(capture::ShowCanvas(BitString::filled(8, true), 96, -1).rgb.empty());
    EXPECT_THROW(capture::ShowCanvas(BitString{}, 1 << 20, 1 << 20), std::length_error);
}

}  // namespace
