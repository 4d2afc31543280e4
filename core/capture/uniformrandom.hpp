#pragma once

#include <array>
#include <cstdint>

namespace capture {

// The run's single source of uniform random numbers in [0, 1) (xoshiro256**, seeded through
// splitmix64). The same seed always gives the same sequence.
class UniformRandom {
  public:
    explicit UniformRandom(std::uint64_t seed);

    // The next number, uniform in [0, 1), with 53 random bits.
    double next();

    // A seed taken from the time of day, so that runs started at different times differ.
    static std::uint64_t seedFromTimeOfDay();

  private:
    std::array<std::uint64_t, 4> m_state{};
};

}  // namespace capture
