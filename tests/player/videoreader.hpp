#pragma once

// Reads a picture or video file back with FFmpeg, frame by frame, as RGB pictures.

#include <cstdint>
#include <string>
#include <vector>

#include "screenraster.hpp"

namespace testvideo {

// One decoded frame, three bytes a pixel, rows without padding.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    player::Rgb at(int x, int y) const {
        const auto i = 3 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                            static_cast<std::size_t>(x));
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};

struct Video {
    std::string codec;
    double framesPerSecond = 0;
    std::vector<Picture> frames;
};

// Every frame of the best video stream of path; throws std::runtime_error when it cannot.
Video readVideo(const std::string& path);

}  // namespace testvideo
