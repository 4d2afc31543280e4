#pragma once

#include <cstdint>
#include <vector>

namespace capture {

// An RGB picture: three bytes per pixel (red, green, blue), rows from top to bottom, no padding.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // width * height * 3 bytes

    bool empty() const noexcept { return width <= 0 || height <= 0; }
};

}  // namespace capture
