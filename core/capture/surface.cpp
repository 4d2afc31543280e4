#include "surface.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace capture {

namespace {

// The first surface index covered by a picture placed at offset, and the picture index it
// shows: picture index = surface index + shift, shift = floor(0.5 - offset).
long long pictureShift(double offset) {
    const double shift = std::floor(0.5 - offset);
    // Anything beyond these bounds misses a surface of at most kMaxSurfaceSide pixels anyway.
    return static_cast<long long>(std::clamp(shift, -1e9, 1e9));
}

}  // namespace

int surfaceSide(float side) {
    if (!(side >= 1)) return 0;
    if (side >= static_cast<float>(kMaxSurfaceSide) + 1) {
        throw std::length_error("canvas side larger than " + std::to_string(kMaxSurfaceSide));
    }
    return static_cast<int>(std::floor(side));
}

Surface composeSurface(const Layout& layout, const Picture* picture) {
    Surface surface;
    surface.width = surfaceSide(layout.vBackG.width);
    surface.height = surfaceSide(layout.vBackG.height);
    const auto fill = static_cast<std::int32_t>(layout.background);
    surface.colours.assign(static_cast<std::size_t>(surface.width) * surface.height, fill);

    const bool shown = picture != nullptr && !picture->empty() && layout.player.width > 0 &&
                       layout.player.height > 0;
    if (!shown || surface.colours.empty()) return surface;
    if (picture->rgb.size() < static_cast<std::size_t>(picture->width) * picture->height * 3) {
        throw std::invalid_argument("picture holds fewer bytes than its size needs");
    }

    const long long shiftX = pictureShift(double{layout.player.left} - double{layout.vBackG.left});
    const long long shiftY = pictureShift(double{layout.player.top} - double{layout.vBackG.top});
    // Surface columns [x0, x1) and rows [y0, y1) show the picture.
    const long long x0 = std::max(0LL, -shiftX);
    const long long x1 = std::min<long long>(surface.width, picture->width - shiftX);
    const long long y0 = std::max(0LL, -shiftY);
    const long long y1 = std::min<long long>(surface.height, picture->height - shiftY);
    if (x0 >= x1 || y0 >= y1) return surface;

    for (long long y = y0; y < y1; ++y) {
        const std::uint8_t* source =
            picture->rgb.data() + ((y + shiftY) * picture->width + (x0 + shiftX)) * 3;
        std::int32_t* target = surface.colours.data() + y * surface.width;
        for (long long x = x0; x < x1; ++x, source += 3) {
            target[x] = static_cast<std::int32_t>(source[0] | (source[1] << 8) | (source[2] << 16));
        }
    }
    return surface;
}

}  // namespace capture
