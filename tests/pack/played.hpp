#pragma once

// What a packed video's run in the emulated calculator showed, for the playback tests.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bitstring.hpp"
#include "machine.hpp"
#include "variables.hpp"

namespace testsupport {

struct Played {
    emulator::RunResult result;
    std::vector<TIFunctions::BitString> shown;
    std::vector<emulator::FrameTiming> frames;
    emulator::ExitCheck exit;
    std::size_t gapViolations = 0;
    std::uint64_t smallestGap = 0;  // real time between the two closest LCD accesses
    std::vector<emulator::PlacedVariable> placed;
};

}  // namespace testsupport
