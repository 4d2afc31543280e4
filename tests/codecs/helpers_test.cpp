#include <gtest/gtest.h>

#include "testframes.hpp"
#include "tifunctions.hpp"

using namespace TIFunctions;
using testframes::bytesText;

namespace {

BitString bits(const std::string& text) {
    return BitString::fromText(text);
}

}  // namespace

TEST(ByteCount, CountsWholeBytesOnly) {
    EXPECT_EQ(ByteCount(bits("")), 0U);
    EXPECT_EQ(ByteCount(bits("1111111")), 0U);
    EXPECT_EQ(ByteCount(bits(std::string(6144, '0'))), 768U);
}

TEST(GetByte, ReturnsWholeTailAndNothingPastTheEnd) {
    const std::string text = bytesText({1, 145}) + "101";
    EXPECT_EQ(GetByte(bits(text), 2).toText(), "10010001");
    EXPECT_EQ(GetByte(bits(text), 3).toText(), "101");
    EXPECT_EQ(GetByte(bits(text), 4).toText(), "");
    EXPECT_EQ(GetByte(bits(bytesText({1, 2})), 3).toText(), "");
}

TEST(DigitHelpers, PadButNeverCut) {
    EXPECT_EQ(ToBinary8(0), "00000000");
    EXPECT_EQ(ToBinary8(145), "10010001");
    EXPECT_EQ(ToBinary8(255), "11111111");
    EXPECT_EQ(ToBinary8(256), "100000000");
    EXPECT_EQ(ToBinary16(768), "0000001100000000");
    EXPECT_EQ(ToBinary16(65536), "10000000000000000");
    EXPECT_EQ(ToDecimal8(42), "00000042");
    EXPECT_EQ(ToDecimal8(123456789), "123456789");
}

TEST(CountDifferentBits, CountsOverTheFirstArgument) {
    EXPECT_EQ(CountDifferentBits(bits("10101010"), bits("01010101")), 8U);
    EXPECT_EQ(CountDifferentBits(bits("10101010"), bits("10101010")), 0U);
    // Missing positions of b count as different; extra positions of b do not count.
    EXPECT_EQ(CountDifferentBits(bits("1010"), bits("10")), 2U);
    EXPECT_EQ(CountDifferentBits(bits("10"), bits("1011")), 0U);
}

TEST(XorFrames, MarksChangedPixels) {
    const std::string a = bytesText({0xF0, 0x0F});
    const std::string b = bytesText({0xFF, 0x0F});
    EXPECT_EQ(XorFrames(bits(a), bits(a)).toText(), std::string(16, '0'));
    EXPECT_EQ(XorFrames(bits(a), bits(b)).toText(), bytesText({0x0F, 0x00}));
    EXPECT_EQ(XorFrames(bits(a), bits(a + a)).toText(), "");
    // Same byte count, shorter reference: positions past its end are different.
    EXPECT_EQ(XorFrames(bits(a + "0000"), bits(a + "00")).toText(), std::string(16, '0') + "0011");
    EXPECT_EQ(XorFrames(bits(a + "01"), bits(a + "0111")).toText(), std::string(16, '0') + "00");
}

TEST(BlendFrames, KeepsBytesWithFewerChangesThanTheThreshold) {
    const std::string current = bytesText({0b00000001, 0b00000111, 0xFF}) + "11";
    const std::string reference = bytesText({0, 0, 0});
    EXPECT_EQ(BlendFrames(bits(current), bits(current), 3).toText(), current.substr(0, 24));
    EXPECT_EQ(BlendFrames(bits(current), bits(reference), 1).toText(), current.substr(0, 24));
    EXPECT_EQ(BlendFrames(bits(current), bits(reference), 0).toText(), current.substr(0, 24));
    EXPECT_EQ(BlendFrames(bits(current), bits(reference), 3).toText(),
              bytesText({0, 0b00000111, 0xFF}));
    EXPECT_EQ(BlendFrames(bits(current), bits(reference), 2.5).toText(),
              bytesText({0, 0b00000111, 0xFF}));
    EXPECT_EQ(BlendFrames(bits(current), bits(reference), 9).toText(), reference);
    EXPECT_EQ(BlendFrames(bits(current), bits(bytesText({0})), 3).toText(), "");
}
