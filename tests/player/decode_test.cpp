// Whole streams of frame records: what the screen shows after each, and errors that name the
// record and the byte where the stream goes wrong.

#include <gtest/gtest.h>

#include <ostream>

#include <random>

#include "animation.hpp"
#include "framedecoder.hpp"
#include "tifunctions.hpp"

using TIFunctions::BitString;

namespace {

constexpr std::size_t kScreenBits = 96 * 64;

std::vector<std::uint8_t> record(int codeType, bool difference, const BitString& frame) {
    std::vector<std::uint8_t> bytes = {
        static_cast<std::uint8_t>((difference ? 0x80 : 0) | codeType)};
    const BitString data = TIFunctions::EncodeFrame(frame, codeType);
    bytes.insert(bytes.end(), data.bytes().begin(), data.bytes().end());
    return bytes;
}

void append(std::vector<std::uint8_t>& stream, const std::vector<std::uint8_t>& more) {
    stream.insert(stream.end(), more.begin(), more.end());
}

// Blank rows, a band of noise and more blank rows: every code type has something to do.
BitString bandFrame(std::uint32_t seed, bool ink) {
    std::mt19937 random(seed);
    BitString frame = BitString::filled(kScreenBits, !ink);
    for (std::size_t i = 96 * 20; i < 96 * 37; ++i) {
        if (random() % 3 == 0) frame.setBit(i, ink);
    }
    return frame;
}

class TruncatedRecord : public testing::TestWithParam<int> {};

}  // namespace

// A stream cut anywhere inside a record's data fails at the cut, naming that record.
TEST_P(TruncatedRecord, IsAnErrorNamingTheRecordAndTheCut) {
    const int type = GetParam();
    for (const BitString& frame :
         {bandFrame(1, true), bandFrame(2, false), BitString::filled(kScreenBits, true),
          BitString::filled(kScreenBits, false)}) {
        std::vector<std::uint8_t> stream = record(3, false, BitString::filled(kScreenBits, false));
        const std::size_t header = stream.size();
        append(stream, record(type, true, frame));
        ASSERT_NO_THROW(TIFunctions::decodeRecords(stream, kScreenBits));
        for (std::size_t cut = header + 1; cut < stream.size(); ++cut) {
            SCOPED_TRACE("cut at byte " + std::to_string(cut) + " of " +
                         std::to_string(stream.size()));
            try {
                TIFunctions::decodeRecords(std::span(stream).first(cut), kScreenBits);
                FAIL() << "decoded";
            } catch (const TIFunctions::RecordError& error) {
                EXPECT_EQ(error.record(), 1U);
                EXPECT_EQ(error.headerOffset(), header);
                EXPECT_EQ(error.offset(), cut);
                EXPECT_EQ(
                    std::string(error.what()).rfind("record 1 (header at byte 3): data ends", 0),
                    0U)
                    << error.what();
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryCodeType, TruncatedRecord,
                         testing::Range(0, TIFunctions::kCodeTypeCount));

namespace {

struct BadStream {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::size_t frameBits;
    std::size_t record;
    std::size_t offset;
    const char* reason;
};

// Test names and failures show the case by its name.
void PrintTo(const BadStream& c, std::ostream* os) {
    *os << c.name;
}

class BadStreams : public testing::TestWithParam<BadStream> {};

// A blank key frame of type 3: 3 bytes that any 96 x 64 stream may start with.
const std::vector<std::uint8_t> kBlank = {0x03, 0x3F, 0x00};

std::vector<std::uint8_t> after(const std::vector<std::uint8_t>& first,
                                std::initializer_list<std::uint8_t> more) {
    std::vector<std::uint8_t> bytes = first;
    bytes.insert(bytes.end(), more);
    return bytes;
}

}  // namespace

TEST_P(BadStreams, AreErrorsAtTheFaultyByte) {
    const BadStream& c = GetParam();
    try {
        TIFunctions::decodeRecords(c.bytes, c.frameBits);
        FAIL() << "decoded";
    } catch (const TIFunctions::RecordError& error) {
        EXPECT_EQ(error.record(), c.record);
        EXPECT_EQ(error.offset(), c.offset);
        EXPECT_NE(error.reason().find(c.reason), std::string::npos) << error.what();
        // The offset is given once, from the start of the stream.
        const std::string what = error.what();
        EXPECT_EQ(what.find(" at byte offset "), what.rfind(" at byte offset ")) << what;
    }
}

INSTANTIATE_TEST_SUITE_P(
    FrameRecords, BadStreams,
    testing::Values(
        BadStream{"CodeType9", after(kBlank, {0x09, 0x00}), kScreenBits, 1, 3,
                  "unknown code type 9"},
        BadStream{"CodeType11Difference", after(kBlank, {0x8B}), kScreenBits, 1, 3,
                  "unknown code type 11"},
        BadStream{"CodeType127", {0x7F}, kScreenBits, 0, 0, "unknown code type 127"},
        BadStream{"SkipAndSpanPastTheScreen", after(kBlank, {0x01, 0x03, 0x00, 0x00, 0x01, 0x05}),
                  kScreenBits, 1, 4, "skip count and span exceed the frame"},
        BadStream{"SkipPastTheScreen", after(kBlank, {0x85, 0x03, 0x01, 0x00}), kScreenBits, 1, 4,
                  "skip count exceeds the frame"},
        BadStream{"ByteRunPastTheScreen",
                  {0x00, 0x07, 0x91, 0x07, 0x03},
                  16,
                  0,
                  2,
                  "byte run passes the end of the frame"},
        BadStream{
            "ShortByteRun", {0x00, 0x91, 0x07, 0x02, 0x00}, 32, 0, 1, "invalid byte-run token"},
        BadStream{"BitRunPastTheScreen",
                  {0x03, 0x7F, 0x00},
                  40,
                  0,
                  1,
                  "bit run passes the end of the frame"},
        BadStream{"TokenAfterTheScreenIsFull",
                  {0x03, 0x48, 0xC0, 0x00},
                  8,
                  0,
                  2,
                  "bit-run token past the end of the frame"},
        BadStream{"BitRunShorterThanEight", after(kBlank, {0x83, 0x07, 0x00}), kScreenBits, 1, 4,
                  "shorter than 8 bits"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FrameRecords, KeyFramesReplaceAndDifferenceFramesInvertTheScreen) {
    const BitString a = bandFrame(5, true);
    const BitString d = bandFrame(6, true);
    const BitString b = bandFrame(7, false);
    std::vector<std::uint8_t> stream = record(1, true, a);  // from the blank screen
    append(stream, record(5, true, d));
    append(stream, record(4, false, b));
    append(stream, record(6, true, d));
    const auto records = TIFunctions::decodeRecords(stream, kScreenBits);
    ASSERT_EQ(records.size(), 4U);
    EXPECT_EQ(records[0].screen, a);
    EXPECT_EQ(records[1].screen, TIFunctions::XorFrames(a, d));
    EXPECT_EQ(records[2].screen, b);
    EXPECT_EQ(records[3].screen, TIFunctions::XorFrames(b, d));
    std::size_t offset = 0;
    for (const auto& r : records) {
        EXPECT_EQ(r.offset, offset);
        offset += r.size;
    }
    EXPECT_EQ(offset, stream.size());
    EXPECT_TRUE(records[1].difference);
    EXPECT_FALSE(records[2].difference);
    EXPECT_EQ(records[2].codeType, 4);
}

// Types 7 and 8 describe the leading fill bytes and the span; past the end token the screen is
// the background, whatever bytes the trimming cut off there.
TEST(FrameRecords, TypesSevenAndEightLeaveTheBackgroundAfterTheSpan) {
    for (const int type : {7, 8}) {
        const bool fill = type == 7;  // 7 trims bytes of 255, 8 bytes of 0
        const bool ink = type == 7;
        BitString frame = BitString::filled(kScreenBits, fill);
        for (std::size_t i = 96 * 10; i < 96 * 12; i += 3)
            frame.setBit(i, !fill);
        const auto records = TIFunctions::decodeRecords(record(type, false, frame), kScreenBits);
        ASSERT_EQ(records.size(), 1U);
        BitString expected = frame;
        // The span ends with the last byte that is not fill; the bytes after it are background.
        const std::size_t spanEnd = TIFunctions::LastNonFillByte(frame, fill ? '1' : '0') * 8;
        for (std::size_t i = spanEnd; i < kScreenBits; ++i)
            expected.setBit(i, !ink);
        EXPECT_EQ(records[0].screen, expected) << "code type " << type;
    }
}

TEST(FrameRecords, AnEmptyStreamHasNoRecords) {
    EXPECT_TRUE(TIFunctions::decodeRecords({}, kScreenBits).empty());
}

TEST(FrameRecords, NamesTheFileInDecodeErrors) {
    try {
        player::FrameRecords("clip/my.z80", after(kBlank, {0x0C}), {96, 64});
        FAIL() << "decoded";
    } catch (const player::AnimationError& error) {
        EXPECT_EQ(error.path(), "clip/my.z80");
        EXPECT_EQ(
            std::string(error.what()),
            "clip/my.z80: record 1 (header at byte 3): unknown code type 12 at byte offset 3");
    }
}

TEST(FrameRecords, DecodeForTheScreenSizeGiven) {
    // A key frame of type 0 for a 16 x 2 screen: four plain bytes.
    const player::FrameRecords records("small.z80", {0x00, 0x01, 0x02, 0x03, 0x04}, {16, 2});
    ASSERT_EQ(records.frames(), 1U);
    EXPECT_EQ(player::FrameCursor(records).screen(0),
              BitString::fromBytes(std::vector<std::uint8_t>{1, 2, 3, 4}));
    EXPECT_THROW(player::FrameRecords("big.z80", {0x00, 0x01, 0x02, 0x03, 0x04}, {96, 64}),
                 player::AnimationError);
}

// Screens fetched in any order, from a few kept screens, equal those of a plain decode: with room
// for only 16 screens, 2,000 records keep one every 128 records.
TEST(FrameRecords, GiveEveryScreenInAnyOrderFromAFewKeptOnes) {
    std::vector<std::uint8_t> stream;
    for (std::uint32_t k = 0; k < 2000; ++k)
        append(stream, record(k % 7 == 0 ? 0 : 3, k % 7 != 0, bandFrame(k, true)));
    const auto expected = TIFunctions::decodeRecords(stream, kScreenBits);
    const player::FrameRecords records("my.z80", stream, {96, 64}, 0);
    ASSERT_EQ(records.frames(), expected.size());
    player::FrameCursor cursor(records);
    std::mt19937 random(7);
    std::vector<std::size_t> order = {0, 1, 1999, 1998, 127, 128, 129, 0, 1023, 1024};
    for (int i = 0; i < 60; ++i)
        order.push_back(random() % expected.size());
    for (const std::size_t k : order)
        ASSERT_EQ(cursor.screen(k), expected[k].screen) << "frame " << k;
    EXPECT_THROW(cursor.screen(2000), std::out_of_range);
}
