#include "rasteriser.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

namespace capture {

namespace {

// floor(a / b) for b > 0.
constexpr std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

bool isDitherMode(double mode) {
    return mode == 1 || mode == 2 || mode == 3;
}

// The luminance of a colour sample; the remainders keep the sign of colour (C++'s % does),
// then floor rounds down.
// The weighted sum, red and green first; not yet rounded.
double weightedSum(double r, double g, double b) {
    const double redGreen = 0.33 * r + 0.56 * g;
    return redGreen + 0.11 * b;
}

double luminanceOf(std::int32_t colour, bool weighted) {
    const std::int64_t value = colour;
    const std::int64_t r = value % 256;
    const std::int64_t g = floorDiv(value % 65536, 256);
    const std::int64_t b = floorDiv(value, 65536);
    if (weighted) {
        return std::floor(
            weightedSum(static_cast<double>(r), static_cast<double>(g), static_cast<double>(b)));
    }
    return std::floor(static_cast<double>(g + b + r) / 3);
}

enum class Class { light, dark, inside };

// Where a luminance falls: outside the open band (or without a band) the threshold decides.
Class classify(double luminance, double threshold, double halfWidth, bool band) {
    const bool dark = luminance < threshold;
    if (band && !(luminance >= threshold + halfWidth || luminance <= threshold - halfWidth)) {
        return Class::inside;
    }
    return dark ? Class::dark : Class::light;
}

// Mode 2 and 3: the factor 2C / (L - T + C), as the quotient raised to the power -1.
double naturalFactor(double luminance, double threshold, double halfWidth) {
    return std::pow((luminance - threshold + halfWidth) / (2 * halfWidth), -1.0);
}

int insideBit(double u, double mode, double factor) {
    if (mode == 1) return static_cast<int>(2 * u);  // floor(2u): u >= 0
    return u * factor >= 1 ? 1 : 0;
}

}  // namespace

int PixelToBit(std::int32_t colour, double Brightness, double Contrast, double WantDither,
               UniformRandom& random) {
    const bool band = isDitherMode(WantDither);
    if (!band && WantDither != 0) return 0;
    const double luminance = luminanceOf(colour, WantDither == 3);
    switch (classify(luminance, Brightness, Contrast, band)) {
        case Class::light:
            return 0;
        case Class::dark:
            return 1;
        case Class::inside:
            break;
    }
    const double u = random.next();
    const double factor = WantDither == 1 ? 0 : naturalFactor(luminance, Brightness, Contrast);
    return insideBit(u, WantDither, factor);
}

TIFunctions::BitString getCanvas(const Surface& surface, double Brightness, double Contrast,
                                 double WantDither, UniformRandom& random) {
    const std::size_t count = static_cast<std::size_t>(std::max(surface.width, 0)) *
                              static_cast<std::size_t>(std::max(surface.height, 0));
    if (surface.colours.size() < count) {
        throw std::invalid_argument("surface holds fewer colours than its size needs");
    }
    const bool band = isDitherMode(WantDither);
    if (!band && WantDither != 0) return TIFunctions::BitString::filled(count, false);

    // Colours of 0 to 0xFFFFFF have a luminance of 0 to 255: its class and factor come from
    // tables made by the same functions as PixelToBit's, indexed by level or, for the mean, by
    // R + G + B. Any other colour takes PixelToBit itself.
    const bool weighted = WantDither == 3;
    std::array<Class, 256> classes{};
    std::array<double, 256> factors{};
    for (int level = 0; level < 256; ++level) {
        classes[level] = classify(level, Brightness, Contrast, band);
        if (classes[level] == Class::inside && WantDither != 1) {
            factors[level] = naturalFactor(level, Brightness, Contrast);
        }
    }
    std::array<Class, 766> classOfSum{};
    for (int sum = 0; sum < 766; ++sum)
        classOfSum[sum] = classes[sum / 3];

    TIFunctions::BitString canvas;
    std::uint8_t* bytes = canvas.beginWrite(count / 8 + 1);
    std::uint8_t byte = 0;
    // Rows from the top, each from the left: the order of the colours and of the random draws.
    for (std::size_t i = 0; i < count; ++i) {
        const std::int32_t colour = surface.colours[i];
        int bit;
        if (colour >= 0 && colour <= 0xFFFFFF) {
            const int r = colour & 0xFF;
            const int g = (colour >> 8) & 0xFF;
            const int b = colour >> 16;
            int level;
            Class type;
            if (weighted) {
                // The sum is not negative here, so truncation is its floor.
                level = static_cast<int>(weightedSum(r, g, b));
                type = classes[level];
            } else {
                type = classOfSum[r + g + b];
                level = (r + g + b) / 3;
            }
            if (type == Class::inside) {
                bit = insideBit(random.next(), WantDither, factors[level]);
            } else {
                bit = type == Class::dark ? 1 : 0;
            }
        } else {
            bit = PixelToBit(colour, Brightness, Contrast, WantDither, random);
        }
        byte = static_cast<std::uint8_t>((byte << 1) | bit);
        if ((i & 7) == 7) {
            bytes[i >> 3] = byte;
            byte = 0;
        }
    }
    canvas.commit(count / 8);
    for (std::size_t tail = count & 7; tail > 0; --tail) {
        canvas.pushBit(((byte >> (tail - 1)) & 1U) != 0);
    }
    return canvas;
}

std::string RepeatText(std::string_view text, double count) {
    if (!(count >= 1) || text.empty()) return {};
    const double copies = std::floor(count);
    if (copies > static_cast<double>(std::string().max_size() / text.size())) {
        throw std::length_error("RepeatText: result too long");
    }
    const auto n = static_cast<std::size_t>(copies);
    std::string result;
    result.reserve(n * text.size());
    for (std::size_t i = 0; i < n; ++i)
        result.append(text);
    return result;
}

}  // namespace capture
