#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace capturetest {

struct Rgb {
    int r = 0, g = 0, b = 0;
};

enum class Matrix { bt601, bt709 };

// A short clip of uniformly coloured frames, encoded with libavcodec for the media tests.
struct ClipRecipe {
    std::string encoder = "mpeg4";   // libavcodec encoder name
    std::string muxer = "matroska";  // libavformat muxer name
    int width = 160;
    int height = 120;
    int fps = 25;
    int frames = 5;
    bool fullRange = false;
    Matrix matrix = Matrix::bt601;
    bool tagged = true;  // the stream names its matrix; else it is left unspecified
    std::function<Rgb(int frame)> colour = [](int) { return Rgb{}; };
};

// Writes the clip to path; throws std::runtime_error on any FFmpeg failure.
void WriteClip(const std::string& path, const ClipRecipe& recipe);

// The Y, Cb, Cr code values of an RGB colour under the recipe's matrix and range.
void ToYCbCr(Rgb colour, Matrix matrix, bool fullRange, std::uint8_t& y, std::uint8_t& cb,
             std::uint8_t& cr);

}  // namespace capturetest
