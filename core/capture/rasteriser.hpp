#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "bitstring.hpp"
#include "surface.hpp"
#include "uniformrandom.hpp"

namespace capture {

// 1 (dark) or 0 (light) for one colour sample (red in bits 0-7, green 8-15, blue 16-23, split
// with remainders that keep the sign) under threshold Brightness, dither band half-width
// Contrast and dither mode WantDither (0 none, 1 linear, 2 natural, 3 natural on a weighted
// luminance; any other value gives 0). Draws one random number only inside the open band.
int PixelToBit(std::int32_t colour, double Brightness, double Contrast, double WantDither,
               UniformRandom& random);

// The canvas of surface: one bit per pixel, rows from top to bottom, "1" dark.
TIFunctions::BitString getCanvas(const Surface& surface, double Brightness, double Contrast,
                                 double WantDither, UniformRandom& random);

// text joined floor(count) times; empty when count < 1. Throws std::length_error when the
// result could not be held.
std::string RepeatText(std::string_view text, double count);

}  // namespace capture
