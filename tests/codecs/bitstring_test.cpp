#include "bitstring.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

using TIFunctions::BitString;

TEST(BitString, TextRoundTripKeepsEveryLength) {
    for (const std::string text :
         {"", "1", "0110", "10010001", "100100011", "1111111100000000101"}) {
        const BitString bits = BitString::fromText(text);
        EXPECT_EQ(bits.size(), text.size());
        EXPECT_EQ(bits.toText(), text);
    }
}

TEST(BitString, FirstBitIsTheMostSignificant) {
    const BitString bits = BitString::fromText("1001000101");
    ASSERT_EQ(bits.bytes().size(), 2U);
    EXPECT_EQ(bits.bytes()[0], 145);
    EXPECT_EQ(bits.bytes()[1], 0x40);  // the unused bits of the tail byte are zero
}

TEST(BitString, RejectsCharactersOtherThanZeroAndOne) {
    EXPECT_THROW(BitString::fromText("0120"), std::invalid_argument);
    EXPECT_THROW(BitString::fromText("1 0"), std::invalid_argument);
}

TEST(BitString, AppendAtAnyAlignment) {
    BitString bits = BitString::fromText("101");
    bits.append(BitString::fromText("11110000111"));
    bits.pushByte(0x81);
    bits.pushBit(true);
    EXPECT_EQ(bits.toText(),
              "101"
              "11110000111"
              "10000001"
              "1");
}

TEST(BitString, FilledAndEquality) {
    EXPECT_EQ(BitString::filled(13, true).toText(), std::string(13, '1'));
    EXPECT_EQ(BitString::filled(13, false), BitString::fromText(std::string(13, '0')));
    EXPECT_NE(BitString::fromText("0"), BitString::fromText("00"));
}

TEST(BitString, ReusedOutputForgetsEarlierContent) {
    BitString out;
    std::uint8_t* p = out.beginWrite(4);
    p[0] = 0xFF;
    p[1] = 0xFF;
    p[2] = 0xFF;
    out.commit(3);
    p = out.beginWrite(4);
    p[0] = 0x01;
    out.commit(1);
    out.pushBit(false);
    EXPECT_EQ(out.toText(), "000000010");
    EXPECT_EQ(out.data()[1], 0);
}
