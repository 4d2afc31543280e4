#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
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
    int gop = 12;        // frames from one key frame to the next
    int bFrames = 0;     // B-frames in a row, for the encoders that make them
    std::function<Rgb(int frame)> colour = [](int) { return Rgb{}; };
    // When set, the colour of each pixel (x, y), in place of colour; blocks of 2 x 2 pixels
    // should share one colour, since chroma is subsampled.
    std::function<Rgb(int frame, int x, int y)> pixel;
    std::optional<std::array<std::int32_t, 9>> displayMatrix;  // the stream's, if any
    bool interlaced = false;  // frames coded and marked as interlaced, top field first
};

// Writes the clip to path; throws std::runtime_error on any FFmpeg failure.
void WriteClip(const std::string& path, const ClipRecipe& recipe);

// The Y, Cb, Cr code values of an RGB colour under the recipe's matrix and range.
void ToYCbCr(Rgb colour, Matrix matrix, bool fullRange, std::uint8_t& y, std::uint8_t& cb,
             std::uint8_t& cr);

}  // namespace capturetest
