#include "screenraster.hpp"

#include <algorithm>

namespace player {

void rasterise(const TIFunctions::BitString& screen, const PictureGeometry& geometry,
               std::uint8_t* out, std::size_t stride) {
    const auto scale = static_cast<std::size_t>(geometry.scale);
    const auto width = static_cast<std::size_t>(geometry.screen.width);
    const std::size_t rowPixels = width * scale;
    for (int y = 0; y < geometry.screen.height; ++y) {
        std::uint8_t* row = out + static_cast<std::size_t>(y) * scale * stride;
        const std::size_t first = static_cast<std::size_t>(y) * width;
        for (std::size_t x = 0; x < width; ++x) {
            const bool dark = first + x < screen.size() && screen.bit(first + x);
            std::fill_n(row + x * scale, scale, static_cast<std::uint8_t>(dark ? 1 : 0));
        }
        for (std::size_t copy = 1; copy < scale; ++copy)
            std::copy_n(row, rowPixels, row + copy * stride);
    }
}

std::vector<std::uint8_t> rasterise(const TIFunctions::BitString& screen,
                                    const PictureGeometry& geometry) {
    const auto stride = static_cast<std::size_t>(geometry.width());
    std::vector<std::uint8_t> picture(stride * static_cast<std::size_t>(geometry.height()));
    rasterise(screen, geometry, picture.data(), stride);
    return picture;
}

}  // namespace player
