#pragma once

#include "bitstring.hpp"
#include "picture.hpp"

namespace capture {

// The preview picture of a canvas: width x height pixels, bit y * width + x black (palette
// entry 0) when it is "1", white (entry 15) when it is "0" or lies past the end of bits.
// A width or height of 0 or less gives an empty picture.
Picture ShowCanvas(const TIFunctions::BitString& bits, int width, int height);

}  // namespace capture
