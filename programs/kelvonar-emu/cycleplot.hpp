#pragma once

// The scales and groups of the --plot picture, apart from the drawing.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "machine.hpp"

namespace emulator {

// A tick step for span units on an axis of about ticks ticks: 1, 2 or 5 times a power of ten;
// 1 for an empty span.
double tickStep(double span, int ticks);

// value with a comma between groups of three digits: "1,234,567".
std::string withThousands(std::uint64_t value);

// The T-states used by a group of consecutive frames.
struct FrameGroup {
    std::size_t first = 0;  // the group's first frame
    std::size_t count = 0;  // frames in the group
    std::uint64_t least = 0;
    double mean = 0;
    std::uint64_t most = 0;
};

// frames in groups of size consecutive frames (the last one may be shorter); none for size 0.
std::vector<FrameGroup> groupFrames(const std::vector<FrameTiming>& frames, std::size_t size);

}  // namespace emulator
