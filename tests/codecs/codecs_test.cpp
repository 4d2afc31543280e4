#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "framedecoder.hpp"
#include "testframes.hpp"
#include "textmodel.hpp"
#include "tifunctions.hpp"

using namespace TIFunctions;
using testframes::bytesText;
using testframes::kScreenBits;
using testframes::repeatText;
using testframes::screenWithBytes;

namespace {

BitString bits(const std::string& text) {
    return BitString::fromText(text);
}

std::vector<unsigned> valuesOf(const BitString& encoded) {
    EXPECT_EQ(encoded.size() % 8, 0U);
    return {encoded.bytes().begin(), encoded.bytes().end()};
}

std::vector<unsigned> repeated(std::vector<unsigned> unit, std::size_t count) {
    std::vector<unsigned> all;
    for (std::size_t i = 0; i < count; ++i)
        all.insert(all.end(), unit.begin(), unit.end());
    return all;
}

std::vector<unsigned> join(std::initializer_list<std::vector<unsigned>> parts) {
    std::vector<unsigned> all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

}  // namespace

TEST(RleEncode, RunsMarkersAndTheLimitOf255) {
    EXPECT_EQ(RleEncode(bits("")).size(), 0U);
    EXPECT_EQ(RleEncode(bits("1010101")).size(), 0U);

    const std::string mixed =
        bytesText({1, 2, 2, 3, 7, 7, 7, 145, 145, 145}) + repeatText(bytesText({0}), 256);
    EXPECT_EQ(valuesOf(RleEncode(bits(mixed))),
              join({{1, 2, 2, 3, 145, 7, 3}, repeated({145, 145, 1}, 3), {145, 0, 255, 0}}));

    EXPECT_EQ(valuesOf(RleEncode(bits(repeatText(bytesText({9}), 257)))),
              (std::vector<unsigned>{145, 9, 255, 9, 9}));
    EXPECT_EQ(valuesOf(RleEncode(bits(repeatText(bytesText({9}), 258)))),
              (std::vector<unsigned>{145, 9, 255, 145, 9, 3}));
    EXPECT_EQ(valuesOf(RleEncode(bits(std::string(kScreenBits, '0')))),
              join({repeated({145, 0, 255}, 3), {145, 0, 3}}));
    // The incomplete tail byte is not encoded.
    EXPECT_EQ(valuesOf(RleEncode(bits(bytesText({5}) + "1111"))), (std::vector<unsigned>{5}));
}

struct ZcpCase {
    const char* name;
    std::string input;
    char ink;
    std::vector<unsigned> expected;
};

void PrintTo(const ZcpCase& c, std::ostream* out) {
    *out << c.name;
}

class ZcpEncodeExamples : public testing::TestWithParam<ZcpCase> {};

TEST_P(ZcpEncodeExamples, GivesTheTokens) {
    const ZcpCase& c = GetParam();
    EXPECT_EQ(valuesOf(ZcpEncode(bits(c.input), c.ink)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, ZcpEncodeExamples,
    testing::Values(
        ZcpCase{"Empty", "", '1', {0}},
        ZcpCase{"BlankScreenInkOne", std::string(kScreenBits, '0'), '1', {0b00111111, 0}},
        ZcpCase{"BlankScreenInkZero", std::string(kScreenBits, '0'), '0',
                join({repeated({0b00111111}, 97), {0b00100001, 0}})},
        ZcpCase{"SingleInkBit", "1", '1', {0b11000000, 0}},
        ZcpCase{"LiteralThenStopInkOne",
                std::string(16, '0') + "11" + std::string(30, '0'),
                '1',
                {0b00010000, 0b11100000, 0}},
        ZcpCase{"LiteralThenRunInkZero",
                std::string(16, '0') + "11" + std::string(30, '0'),
                '0',
                {0b00010000, 0b11100000, 0b00011001, 0}},
        ZcpCase{"SixtyFourOnesSplitAtSixtyThree",
                std::string(64, '1'),
                '1',
                {0b01111111, 0b11000000, 0}},
        ZcpCase{"RunsAndLiterals",
                "00000000"
                "111"
                "00000"
                "11111111",
                '1',
                {0b00001000, 0b11110000, 0b10111111, 0b11100000, 0}},
        ZcpCase{"NoInkStillWritesOneToken", std::string(5, '0'), '1', {0b10000000, 0}},
        // A final literal cut short is padded with the background: "1" when the ink is "0".
        ZcpCase{"ShortLiteralInkZero", "0", '0', {0b10111111, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ZcpEncode, PadsACutLiteralWithTheBackgroundSoTheNextPixelsSurvive) {
    // All "1" but bytes 301 and 312: the trimmed span ends inside a literal whose last bits lie on
    // byte 313, a fill byte of "1".
    const std::string frame = screenWithBytes('1', {{301, 0b01111111}, {312, 0b11111110}});
    const std::vector<unsigned> expected = {0b00000001, 0b00101100, 0b10111111, 0b01111111,
                                            0b01011001, 0b10111111, 0};
    EXPECT_EQ(valuesOf(EncodeFrame(bits(frame), 6)), expected);
    // Padding with "0" whatever the ink, the old way, turns pixels of byte 313 dark.
    const std::string historical =
        textmodel::zcpEncode(textmodel::trimFillBytes(frame, '1'), '0', false);
    EXPECT_EQ(historical.substr(24, 8), "10000000");

    const auto encoded = EncodeFrame(bits(frame), 6);
    const auto decoded = TIFunctions::decodeFrameData(encoded.bytes(), 6, kScreenBits);
    EXPECT_EQ(GetByte(decoded.frame, 313).toText(), "11111111");
    EXPECT_EQ(decoded.frame.toText(), frame);
}

TEST(Trimming, FindsTheSpanBetweenFillBytes) {
    const BitString allZero = bits(std::string(80, '0') + "101");
    EXPECT_EQ(FirstNonFillByte(allZero, '0'), 11U);
    EXPECT_EQ(LastNonFillByte(allZero, '0'), 0U);
    EXPECT_EQ(TrimFillBytes(allZero, '0').size(), 0U);

    const BitString one = bits(bytesText({255, 255, 0x7F, 255}));
    EXPECT_EQ(FirstNonFillByte(one, '1'), 3U);
    EXPECT_EQ(LastNonFillByte(one, '1'), 3U);
    EXPECT_EQ(TrimFillBytes(one, '1').toText(), bytesText({0x7F}));

    const BitString middle =
        bits(bytesText({0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0}));
    EXPECT_EQ(FirstNonFillByte(middle, '0'), 10U);
    EXPECT_EQ(LastNonFillByte(middle, '0'), 20U);
    // Only "0" and "1" are fill characters; with any other no byte is a fill byte.
    EXPECT_EQ(FirstNonFillByte(middle, 'x'), 1U);
    EXPECT_EQ(TrimFillBytes(middle, 'x').toText(), middle.toText());
}

struct SizeCase {
    const char* name;
    std::string frame;
    std::vector<std::size_t> sizes;  // code types 0 to 8
};

void PrintTo(const SizeCase& c, std::ostream* out) {
    *out << c.name;
}

class EncodeFrameSizes : public testing::TestWithParam<SizeCase> {};

TEST_P(EncodeFrameSizes, PerCodeType) {
    for (int type = 0; type <= 8; ++type) {
        EXPECT_EQ(ByteCount(EncodeFrame(bits(GetParam().frame), type)), GetParam().sizes[type])
            << "code type " << type;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Screens, EncodeFrameSizes,
    testing::Values(
        SizeCase{"AllZero", std::string(kScreenBits, '0'), {12, 4, 16, 2, 99, 3, 101, 4, 3}},
        SizeCase{"AllOne", std::string(kScreenBits, '1'), {12, 16, 4, 99, 2, 101, 3, 3, 4}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EncodeFrame, WritesSkipCountAndSpanHeaders) {
    EXPECT_EQ(valuesOf(EncodeFrame(bits(std::string(kScreenBits, '0')), 1)),
              (std::vector<unsigned>{3, 0, 0, 0}));
    EXPECT_EQ(valuesOf(EncodeFrame(bits(std::string(kScreenBits, '0')), 5)),
              (std::vector<unsigned>{3, 0, 0}));
    EXPECT_EQ(valuesOf(EncodeFrame(bits(std::string(kScreenBits, '1')), 6)),
              (std::vector<unsigned>{3, 0, 0}));

    const BitString three = bits(screenWithBytes('0', {{10, 0x0F}, {11, 0xFF}, {12, 0x0F}}));
    EXPECT_EQ(ByteCount(EncodeFrame(three, 0)), 15U);
    EXPECT_EQ(valuesOf(EncodeFrame(three, 1)),
              (std::vector<unsigned>{0, 9, 0, 3, 0x0F, 0xFF, 0x0F}));
    EXPECT_EQ(
        valuesOf(EncodeFrame(three, 3)),
        (std::vector<unsigned>{0b00111111, 0b00001101, 0b01001100, 0b10000111, 0b11000000, 0}));
    EXPECT_EQ(valuesOf(EncodeFrame(three, 5)),
              (std::vector<unsigned>{0, 9, 0b10000111, 0b01001001, 0b10000111, 0b11000000, 0}));
}

TEST(EncodeFrame, OnlyWholeCodeTypesZeroToEightHaveACodec) {
    const BitString frame = bits(screenWithBytes('0', {{3, 0x18}}));
    for (double type : {9.0, 10.0, 11.0, 12.0, -1.0, 0.5, 2.999, std::nan(""),
                        std::numeric_limits<double>::infinity()}) {
        EXPECT_EQ(EncodeFrame(frame, type).size(), 0U) << type;
    }
    EXPECT_EQ(codeTypeCaption(12), "");
    EXPECT_EQ(codeTypeCaption(-1), "");
}

TEST(EncodeFrame, HeaderFieldsBeyondSixteenBitsKeepAllTheirDigits) {
    // 65536 bytes of "0" and then one "1" byte: the skip count needs 17 binary digits.
    const std::string frame = std::string(65536 * 8, '0') + bytesText({1});
    const BitString encoded = EncodeFrame(bits(frame), 5);
    EXPECT_EQ(encoded.toText(), textmodel::encodeFrame(frame, 5));
    EXPECT_EQ(encoded.size() % 8, 1U);
}
