#pragma once

#include <cstdint>
#include <span>

#include "packer.hpp"

namespace pack {

// The player of model as this build assembled it, from its first instruction to its data label;
// empty when the build has none.
std::span<const std::uint8_t> builtPlayer(Model model);

// The labels of a player that the emulated calculator follows, at the addresses the player is
// linked at (the 83 Plus player at kAsmProgramStart, the TI-83 and TI-82 players at 0); 0 for a
// label the player lacks.
struct PlayerLabels {
    std::uint16_t frameBegin = 0;   // a frame's decoding starts
    std::uint16_t frameShown = 0;   // its LCD copy has ended
    std::uint16_t frameWaited = 0;  // the wait for the next frame's time has ended
    std::uint16_t data = 0;         // player_data: what the packer appends starts here
};

// The labels of builtPlayer(model); all 0 when the build has no player.
PlayerLabels builtPlayerLabels(Model model);

// The TI-83 player as builtPlayer gives it, but linked by bytes further (0x100 or 1); empty for
// other distances or when the build has none. relocations() compares them.
std::span<const std::uint8_t> builtTi83PlayerMoved(std::uint16_t by);

// The player of model linked at 0 (the TI-83 and TI-82 ones) as builtPlayer gives it, but linked
// by bytes further (0x100 or 1); empty for other models and distances, or when the build has none.
std::span<const std::uint8_t> builtPlayerMoved(Model model, std::uint16_t by);

}  // namespace pack
