#pragma once

// Frames for the codec tests, as bit strings and as text.

#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "bitstring.hpp"
#include "tifunctions.hpp"

namespace testframes {

inline constexpr std::size_t kScreenBits = 96 * 64;

// The text of the given byte values, eight characters each.
inline std::string bytesText(std::initializer_list<unsigned> values) {
    std::string text;
    for (unsigned v : values)
        text += TIFunctions::ToBinary8(v);
    return text;
}

inline std::string repeatText(const std::string& unit, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += unit;
    return text;
}

// A 96 x 64 screen of one value with some bytes set.
inline std::string screenWithBytes(char fill,
                                   std::initializer_list<std::pair<std::size_t, unsigned>> bytes) {
    std::string text(kScreenBits, fill);
    for (auto [index, value] : bytes)
        text.replace((index - 1) * 8, 8, TIFunctions::ToBinary8(value));
    return text;
}

// Frames that exercise the codes' limits: runs of bits and bytes around the token limits, marker
// bytes, sparse ink on either background, noise, and lengths that are not whole bytes.
class Generator {
  public:
    explicit Generator(std::uint32_t seed) : m_random(seed) {}

    std::string noise(std::size_t bits, double ones = 0.5) {
        std::bernoulli_distribution bit(ones);
        std::string text(bits, '0');
        for (auto& c : text)
            c = bit(m_random) ? '1' : '0';
        return text;
    }

    // Alternating runs of bits whose lengths come from the interesting list.
    std::string bitRuns(std::size_t bits) {
        static const std::vector<std::size_t> kLengths = {1,  2,  6,  7,   8,   9,  62,
                                                          63, 64, 65, 127, 128, 129};
        std::string text;
        char value = pick(2) ? '1' : '0';
        while (text.size() < bits) {
            text.append(kLengths[pick(kLengths.size())], value);
            value = value == '1' ? '0' : '1';
        }
        text.resize(bits);
        return text;
    }

    // Runs of equal bytes (marker bytes among them) around the 255-byte limit.
    std::string byteRuns(std::size_t bits) {
        static const std::vector<std::size_t> kLengths = {1, 2, 3, 4, 254, 255, 256, 257, 510};
        static const std::vector<unsigned> kValues = {0, 255, 145, 145, 7, 0x81, 0x7E};
        std::string text;
        while (text.size() < bits) {
            const std::size_t run = kLengths[pick(kLengths.size())] % (pick(4) == 0 ? 1000 : 9);
            const unsigned value =
                pick(3) == 0 ? static_cast<unsigned>(pick(256)) : kValues[pick(kValues.size())];
            text += repeatText(TIFunctions::ToBinary8(value), run == 0 ? 1 : run);
        }
        text.resize(bits);
        return text;
    }

    // A background of one value with a few flipped pixels: the trimming and the early stop.
    std::string sparse(std::size_t bits) {
        const char background = pick(2) ? '1' : '0';
        std::string text(bits, background);
        const std::size_t flips = pick(6);
        for (std::size_t i = 0; i < flips && bits > 0; ++i) {
            text[pick(bits)] = background == '1' ? '0' : '1';
        }
        return text;
    }

    // Any of the kinds above, at the screen size or at a random length.
    std::string any() {
        const std::size_t bits = pick(3) == 0 ? pick(200) : kScreenBits;
        switch (pick(5)) {
            case 0:
                return noise(bits, 0.5);
            case 1:
                return noise(bits, pick(2) ? 0.03 : 0.97);
            case 2:
                return bitRuns(bits);
            case 3:
                return byteRuns(bits);
            default:
                return sparse(bits);
        }
    }

    std::size_t pick(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(m_random);
    }

  private:
    std::mt19937 m_random;
};

}  // namespace testframes
