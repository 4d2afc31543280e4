#include <gtest/gtest.h>

#include "framedecoder.hpp"
#include "testframes.hpp"
#include "textmodel.hpp"
#include "tifunctions.hpp"

using namespace TIFunctions;

namespace {

// The frame that code type traits give back for text: the bits the data carries as they were,
// the rest as the fill (byte-run) or the background (bit-run). Only an untrimmed bit-run code
// carries the incomplete tail byte; a bit-run code whose fill is its ink leaves out the fill
// bytes after the span.
std::string restored(const std::string& text, const CodeTypeTraits& traits) {
    const bool bitRun = traits.chain == Chain::BitRun;
    const char fill = traits.fill != 0 ? '1' : '0';
    const char rest = bitRun ? (traits.ink == '1' ? '0' : '1') : fill;
    std::size_t carried = text.size() / 8 * 8;
    if (bitRun && traits.trim == Trim::None) carried = text.size();
    if (bitRun && traits.trim != Trim::None && fill != rest) {
        // A frame of fill bytes only is all skip count, and so carried whole.
        const std::size_t last = textmodel::lastNonFillByte(text, fill);
        if (last > 0) carried = last * 8;
    }
    return text.substr(0, carried) + std::string(text.size() - carried, rest);
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

// Every code type decodes back to the frame it encoded, as far as its data describes it.
TEST(CodecRoundTrip, EveryCodeTypeRestoresTheFrame) {
    testframes::Generator generate(7);
    BitString encoded;
    for (int i = 0; i < 4000; ++i) {
        const std::string text = generate.any();
        const BitString frame = BitString::fromText(text);
        for (int type = 0; type < kCodeTypeCount; ++type) {
            EncodeFrame(frame, type, encoded);
            SCOPED_TRACE("frame " + std::to_string(i) + ", code type " + std::to_string(type));
            const auto decoded = TIFunctions::decodeFrameData(encoded.bytes(), type, frame.size());
            ASSERT_EQ(decoded.consumed, ByteCount(encoded));
            ASSERT_EQ(decoded.frame.toText(),
                      restored(text, kCodeTypes[static_cast<std::size_t>(type)]));
        }
    }
}

TEST(CodecRoundTrip, EmptyFrame) {
    for (int type = 0; type < kCodeTypeCount; ++type) {
        const BitString encoded = EncodeFrame(BitString(), type);
        const auto decoded = TIFunctions::decodeFrameData(encoded.bytes(), type, 0);
        EXPECT_EQ(decoded.frame.size(), 0U);
        EXPECT_EQ(decoded.consumed, ByteCount(encoded));
    }
}

// The overload that reuses its output's storage gives what a fresh encoding gives, whatever the
// output held before: a longer result of another frame, or of another code type.
TEST(EncodeFrame, ReusedOutputHoldsNothingOfTheLastResult) {
    testframes::Generator generate(99);
    BitString reused = EncodeFrame(BitString::fromText(generate.any()), 0);
    for (int i = 0; i < 200; ++i) {
        const BitString frame = BitString::fromText(generate.any());
        for (int type = 0; type <= 8; ++type) {
            EncodeFrame(frame, type, reused);
            ASSERT_EQ(reused, EncodeFrame(frame, type)) << "frame " << i << ", code type " << type;
        }
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
