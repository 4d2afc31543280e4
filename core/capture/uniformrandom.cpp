#include "uniformrandom.hpp"

#include <chrono>

namespace capture {

namespace {

std::uint64_t splitMix64(std::uint64_t& x) {
    std::uint64_t z = (x += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

constexpr std::uint64_t rotateLeft(std::uint64_t x, int k) {
    return (x << k) | (x >> (64 - k));
}

}  // namespace

UniformRandom::UniformRandom(std::uint64_t seed) {
    for (std::uint64_t& word : m_state)
        word = splitMix64(seed);
}

double UniformRandom::next() {
    std::array<std::uint64_t, 4>& s = m_state;
    const std::uint64_t result = rotateLeft(s[1] * 5, 7) * 9;
    const std::uint64_t t = s[1] << 17;
    s[2] ^= s[0];
    s[3] ^= s[1];
    s[1] ^= s[2];
    s[0] ^= s[3];
    s[2] ^= t;
    s[3] = rotateLeft(s[3], 45);
    return static_cast<double>(result >> 11) * 0x1.0p-53;
}

std::uint64_t UniformRandom::seedFromTimeOfDay() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
}

}  // namespace capture
