#include <gtest/gtest.h>

#include "framedecoder.hpp"
#include "testframes.hpp"
#include "textmodel.hpp"
#include "tifunctions.hpp"

using namespace TIFunctions;

namespace {

// The whole bytes of a frame: what the byte-run and trimmed chains are able to carry.
std::string wholeBytes(const std::string& text) {
    return text.substr(0, text.size() / 8 * 8);
}

}  // namespace

// The packed codecs give exactly what the text algorithms give, for every kind of frame and length.
TEST(PackedCodecs, MatchTheTextAlgorithms) {
    testframes::Generator generate(20261207);
    for (int i = 0; i < 1500; ++i) {
        const std::string text = generate.any();
        const BitString frame = BitString::fromText(text);
        SCOPED_TRACE("frame " + std::to_string(i) + " of " + std::to_string(text.size()) + " bits");

        ASSERT_EQ(RleEncode(frame).toText(), textmodel::rleEncode(text));
        for (char c : {'0', '1'}) {
            ASSERT_EQ(ZcpEncode(frame, c).toText(), textmodel::zcpEncode(text, c)) << "ink " << c;
            ASSERT_EQ(FirstNonFillByte(frame, c), textmodel::firstNonFillByte(text, c));
            ASSERT_EQ(LastNonFillByte(frame, c), textmodel::lastNonFillByte(text, c));
            ASSERT_EQ(TrimFillBytes(frame, c).toText(), textmodel::trimFillBytes(text, c));
        }
        for (int type = 0; type <= 8; ++type) {
            ASSERT_EQ(EncodeFrame(frame, type).toText(), textmodel::encodeFrame(text, type))
                << "code type " << type;
        }

        // A second frame of the same length, or of a length whose byte count may differ.
        const std::string other = generate.pick(4) == 0
                                      ? generate.noise(generate.pick(text.size() + 16))
                                      : generate.noise(text.size(), 0.1);
        const BitString reference = BitString::fromText(other);
        ASSERT_EQ(XorFrames(frame, reference).toText(), textmodel::xorFrames(text, other));
        ASSERT_EQ(CountDifferentBits(frame, reference), textmodel::countDifferentBits(text, other));
        const double threshold = static_cast<double>(generate.pick(11)) - 1.0;
        ASSERT_EQ(BlendFrames(frame, reference, threshold).toText(),
                  textmodel::blendFrames(text, other, threshold));
        const std::size_t k = 1 + generate.pick(text.size() / 8 + 2);
        ASSERT_EQ(GetByte(frame, k).toText(), textmodel::getByte(text, k));
    }
}

// Every code type the converter uses decodes back to the frame it encoded.
TEST(CodecRoundTrip, EveryCodeTypeRestoresTheFrame) {
    testframes::Generator generate(7);
    BitString encoded;
    for (int i = 0; i < 4000; ++i) {
        const std::string text = generate.any();
        const BitString frame = BitString::fromText(text);
        for (int type = 0; type <= 6; ++type) {
            EncodeFrame(frame, type, encoded);
            SCOPED_TRACE("frame " + std::to_string(i) + ", code type " + std::to_string(type));
            const auto decoded = player::decodeFrameData(encoded.bytes(), type, frame.size());
            ASSERT_EQ(decoded.consumed, ByteCount(encoded));
            // Code types 3 and 4 carry the incomplete tail byte; the others leave it out by design.
            if (type == 3 || type == 4) {
                ASSERT_EQ(decoded.frame.toText(), text);
            } else {
                ASSERT_EQ(wholeBytes(decoded.frame.toText()), wholeBytes(text));
            }
        }
    }
}

TEST(CodecRoundTrip, EmptyFrame) {
    for (int type = 0; type <= 6; ++type) {
        const BitString encoded = EncodeFrame(BitString(), type);
        const auto decoded = player::decodeFrameData(encoded.bytes(), type, 0);
        EXPECT_EQ(decoded.frame.size(), 0U);
        EXPECT_EQ(decoded.consumed, ByteCount(encoded));
    }
}

TEST(EncodeFrame, LeavesItsInputAloneAndRepeatsItself) {
    testframes::Generator generate(99);
    for (int i = 0; i < 200; ++i) {
        const std::string text = generate.any();
        const BitString frame = BitString::fromText(text);
        const BitString four = EncodeFrame(frame, 4);
        for (int type = 0; type <= 8; ++type) {
            const BitString first = EncodeFrame(frame, type);
            EXPECT_EQ(EncodeFrame(frame, type), first);
            EXPECT_EQ(frame.toText(), text);
        }
        EXPECT_EQ(EncodeFrame(frame, 4), four);
    }
}

// The bounded encoder agrees with the plain one: it succeeds exactly when the data is shorter
// than the limit, and then gives the same data.
TEST(EncodeFrameBelow, GivesUpExactlyWhenTheDataWouldReachTheLimit) {
    testframes::Generator generate(31);
    BitString full;
    BitString bounded;
    for (int i = 0; i < 1000; ++i) {
        const BitString frame = BitString::fromText(generate.any());
        for (int type = 0; type <= 8; ++type) {
            EncodeFrame(frame, type, full);
            const std::size_t size = ByteCount(full);
            for (std::size_t limit :
                 {std::size_t{0}, std::size_t{1}, size, size + 1, size / 2, size + 7}) {
                const bool fits = EncodeFrameBelow(frame, type, limit, bounded);
                ASSERT_EQ(fits, size < limit) << "code type " << type << ", limit " << limit;
                if (fits) {
                    ASSERT_EQ(bounded, full);
                }
            }
        }
    }
}
