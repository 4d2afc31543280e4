#include "preview.hpp"

#include <algorithm>
#include <stdexcept>

#include "layout.hpp"
#include "surface.hpp"

namespace capture {

Picture ShowCanvas(const TIFunctions::BitString& bits, int width, int height) {
    Picture picture;
    if (width <= 0 || height <= 0) return picture;
    if (width > kMaxSurfaceSide || height > kMaxSurfaceSide) {
        throw std::length_error("preview side larger than " + std::to_string(kMaxSurfaceSide));
    }
    picture.width = width;
    picture.height = height;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    picture.rgb.resize(count * 3);

    std::uint8_t colours[2][3];
    for (int v = 0; v < 2; ++v) {
        const std::uint32_t colour = PaletteColour((1 - v) * 15);
        colours[v][0] = static_cast<std::uint8_t>(colour & 0xFF);
        colours[v][1] = static_cast<std::uint8_t>((colour >> 8) & 0xFF);
        colours[v][2] = static_cast<std::uint8_t>((colour >> 16) & 0xFF);
    }
    const std::size_t drawn = std::min(count, bits.size());
    std::uint8_t* out = picture.rgb.data();
    for (std::size_t k = 0; k < count; ++k, out += 3) {
        const int v = k < drawn && bits.bit(k) ? 1 : 0;
        out[0] = colours[v][0];
        out[1] = colours[v][1];
        out[2] = colours[v][2];
    }
    return picture;
}

}  // namespace capture
