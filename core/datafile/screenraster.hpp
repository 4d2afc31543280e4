#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "animation.hpp"
#include "bitstring.hpp"

namespace player {

// A colour of the exported pictures.
struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// A dark pixel: black.
inline constexpr Rgb kDarkColour{0, 0, 0};
// A light pixel: the light grey of a calculator's display.
inline constexpr Rgb kLightColour{199, 206, 186};

// The size of the pictures made of a screen: every screen pixel becomes scale x scale pixels.
struct PictureGeometry {
    ScreenSize screen;
    int scale = 4;

    int width() const noexcept { return screen.width * scale; }
    int height() const noexcept { return screen.height * scale; }
};

// Writes the picture of screen, one byte per picture pixel (1 dark, 0 light), row after row from
// the top, each row starting stride bytes after the one before.
void rasterise(const TIFunctions::BitString& screen, const PictureGeometry& geometry,
               std::uint8_t* out, std::size_t stride);

// The picture of screen as rasterise writes it, with rows of geometry.width() bytes.
std::vector<std::uint8_t> rasterise(const TIFunctions::BitString& screen,
                                    const PictureGeometry& geometry);

}  // namespace player
