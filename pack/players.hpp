#pragma once

#include <cstdint>
#include <span>

#include "packer.hpp"

namespace pack {

// The player of model as this build assembled it, from its first instruction to its data label;
// empty when the build has none.
std::span<const std::uint8_t> builtPlayer(Model model);

// The TI-83 player as builtPlayer gives it, but linked by bytes further (0x100 or 1); empty for
// other distances or when the build has none. relocations() compares them.
std::span<const std::uint8_t> builtTi83PlayerMoved(std::uint16_t by);

}  // namespace pack
