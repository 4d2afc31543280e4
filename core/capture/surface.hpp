#pragma once

#include <cstdint>
#include <vector>

#include "layout.hpp"
#include "picture.hpp"

namespace capture {

// Largest width or height of VBackG, in pixels, that a surface may have.
inline constexpr int kMaxSurfaceSide = 4096;

// The colours of VBackG's rectangle, one per pixel, rows from top to bottom, as 0x00BBGGRR.
struct Surface {
    int width = 0;
    int height = 0;
    std::vector<std::int32_t> colours;  // width * height entries
};

// Whole pixels of a VBackG side: floor(side) for 1 or more, else 0; throws std::length_error
// above kMaxSurfaceSide.
int surfaceSide(float side);

// VBackG's rectangle as the window shows it: the background colour, with picture drawn at the
// player's position relative to VBackG at the picture's own size. Surface pixel (i, j) shows
// whatever covers its centre (i + 0.5, j + 0.5), the picture covering [offset, offset + size)
// on each axis: a picture offset is rounded to whole pixels half down, so a 95-pixel picture
// on 96 pixels (offset 0.5) starts at column 0 and leaves column 95 to the background. A
// larger picture shows its central part. A player of width or height 0 or less, or no
// picture, shows only the background.
Surface composeSurface(const Layout& layout, const Picture* picture);

}  // namespace capture
