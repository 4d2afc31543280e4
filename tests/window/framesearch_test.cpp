#include "framesearch.hpp"

#include <gtest/gtest.h>

#include <random>

#include "plainsearch.hpp"
#include "testframes.hpp"
#include "tifunctions.hpp"

using namespace TIFunctions;
using conversion::FrameKind;
using conversion::FrameSearch;

namespace {

constexpr std::size_t kWidth = 96;
constexpr std::size_t kHeight = 64;

// A moving scene: a drifting block and a bouncing dot over a slowly changing noisy background,
// with now and then a cut to a new picture.
class Scene {
  public:
    explicit Scene(std::uint32_t seed)
        : m_random(seed), m_frame(BitString::filled(kWidth * kHeight, false)) {}

    BitString next() {
        std::uniform_int_distribution<std::size_t> pixel(0, kWidth * kHeight - 1);
        if (m_random() % 40 == 0) {
            testframes::Generator generate(m_random());
            m_frame =
                BitString::fromText(generate.noise(kWidth * kHeight, m_random() % 2 ? 0.1 : 0.6));
        }
        const std::size_t flips = m_random() % 60;
        for (std::size_t i = 0; i < flips; ++i) {
            const std::size_t p = pixel(m_random);
            m_frame.setBit(p, !m_frame.bit(p));
        }
        ++m_t;
        for (std::size_t y = 20; y < 40; ++y) {
            for (std::size_t x = 0; x < 16; ++x)
                m_frame.setBit(y * kWidth + (x + m_t * 3) % kWidth, (m_t / 7) % 2 == 0);
        }
        return m_frame;
    }

  private:
    std::mt19937 m_random;
    BitString m_frame;
    std::size_t m_t = 0;
};

}  // namespace

TEST(Interlace, RefreshesTheRowsOfTheFramesParity) {
    const std::size_t width = 5;  // rows that do not end on a byte boundary
    const BitString x = BitString::fromText(std::string(25, '1'));
    const BitString r = BitString::fromText(std::string(25, '0'));
    // Odd frames refresh rows 1, 3, 5 (counted from 1); even frames rows 2, 4.
    EXPECT_EQ(conversion::Interlace(x, r, width, 1).toText(),
              "11111"
              "00000"
              "11111"
              "00000"
              "11111");
    EXPECT_EQ(conversion::Interlace(x, r, width, 4).toText(),
              "00000"
              "11111"
              "00000"
              "11111"
              "00000");
}

TEST(RecordHeader, KindInBitSevenCodeTypeBelow) {
    EXPECT_EQ(conversion::RecordHeader(FrameKind::Key, 5), 0b00000101);
    EXPECT_EQ(conversion::RecordHeader(FrameKind::Difference, 5), 0b10000101);
}

// The shortcuts (repeated candidates skipped, encodings abandoned once they cannot win) change
// nothing: thousands of frames of a moving scene give the plain search's choice every time.
TEST(FrameSearch, ChoosesWhatThePlainSearchChooses) {
    struct Setting {
        double quality;
        double interlace;
    };
    for (const Setting s : {Setting{0, 1}, Setting{2, 1}, Setting{3, 0}, Setting{9, 1},
                            Setting{-1, 1}, Setting{1, 0.5}}) {
        Scene scene(static_cast<std::uint32_t>(s.quality * 10 + s.interlace * 3 + 100));
        FrameSearch search;
        BitString reference = BitString::filled(kWidth * kHeight, false);
        for (std::size_t k = 0; k < 400; ++k) {
            const BitString frame = scene.next();
            const testsearch::PlainChoice expected =
                testsearch::plainSearch(frame, reference, k, s.quality, s.interlace, kWidth);
            const auto& choice = search.search(frame, reference, k, s.quality, s.interlace, kWidth);
            ASSERT_EQ(choice.candidate, expected.candidate)
                << "frame " << k << ", quality " << s.quality;
            ASSERT_EQ(choice.codeType, expected.codeType) << "frame " << k;
            ASSERT_EQ(choice.data, expected.data) << "frame " << k;
            ASSERT_EQ(choice.shown, expected.shown) << "frame " << k;
            ASSERT_EQ(choice.kind,
                      expected.candidate % 2 == 1 ? FrameKind::Key : FrameKind::Difference);
            reference = choice.shown;
        }
    }
}

TEST(FrameSearch, EveryTenthFrameIsExact) {
    Scene scene(5);
    FrameSearch search;
    BitString reference = BitString::filled(kWidth * kHeight, false);
    for (std::size_t k = 0; k < 60; ++k) {
        const BitString frame = scene.next();
        const auto& choice = search.search(frame, reference, k, 9, 1, kWidth);
        if (k % 10 == 0) {
            EXPECT_EQ(choice.shown, frame) << "frame " << k;
            EXPECT_LE(choice.candidate, 2);
        }
        reference = choice.shown;
    }
}

TEST(FrameSearch, LargeFramesAreEncodedWhateverTheirSize) {
    // Noise on a 512 x 512 canvas: every encoding is above the old start value of 32000 bytes.
    testframes::Generator generate(3);
    const BitString frame = BitString::fromText(generate.noise(512 * 512));
    FrameSearch search;
    const auto& choice = search.search(frame, BitString::filled(512 * 512, false), 0, 0, 1, 512);
    EXPECT_GT(ByteCount(choice.data), 32000U);
    EXPECT_EQ(choice.shown, frame);
}
