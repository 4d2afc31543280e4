#pragma once

// What each of the converter's reads gives on the default job file.

#include <iterator>

#include "jobvalues.hpp"

// One value per entry of conversion::kJobKeys, in its order.
inline constexpr double kDefaultValues[] = {94, 62, 96, 64, 0, 24000, 120, 40, 0, 0, 1, 0, 1};
static_assert(std::size(kDefaultValues) == conversion::kJobKeys.size(), "one value per read");
