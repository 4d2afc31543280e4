#pragma once

#include <cstdint>
#include <span>

#include "packer.hpp"

namespace pack {

// The player of model as this build assembled it, from its first instruction to its data label;
// empty when the build has none.
std::span<const std::uint8_t> builtPlayer(Model model);

}  // namespace pack
