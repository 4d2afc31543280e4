#pragma once

#include <cstdint>
#include <span>

#include "packer.hpp"

namespace pack {

// The calculator program of model as this build assembled it, from its first instruction to its
// data label; empty when the build has none.
std::span<const std::uint8_t> builtProgram(Model model);

// The labels of a calculator program that the emulated calculator follows, at the addresses the
// program is linked at (the 83 Plus one at kAsmProgramStart, the TI-83 and TI-82 ones at 0); 0 for
// a label the program lacks.
struct ProgramLabels {
    std::uint16_t frameBegin = 0;   // a frame's decoding starts
    std::uint16_t frameShown = 0;   // its LCD copy has ended
    std::uint16_t frameWaited = 0;  // the wait for the next frame's time has ended
    std::uint16_t data = 0;         // player_data: what the packer appends starts here
};

// The labels of builtProgram(model); all 0 when the build has no program.
ProgramLabels builtProgramLabels(Model model);

// The program of model linked at 0 (the TI-83 and TI-82 ones) as builtProgram gives it, but linked
// by bytes further (0x100 or 1); empty for other models and distances, or when the build has none.
std::span<const std::uint8_t> builtProgramMoved(Model model, std::uint16_t by);

}  // namespace pack
