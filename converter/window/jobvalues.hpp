#pragma once

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "dryxconvert.hpp"

namespace conversion {

// Job values that make the converter refuse the job; what() names the file and the value.
class JobValueError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Told of every job value as it is read: section, key, and the number.
using JobValueTrace =
    std::function<void(std::string_view section, std::string_view key, double value)>;

// The values read when the window loads: player size, canvas size, background choice.
struct LoadValues {
    double Width = 0;
    double Height = 0;
    double DWidth = 0;
    double DHeight = 0;
    double WantWhite = 0;
};

// Reads media width, media height, device width, device height and media bgwhite, in this order.
// Throws INIfiles::JobFileError when the job file cannot be read.
LoadValues ReadLoadValues(const std::string& jobPath, const JobValueTrace& trace = {});

// Reads device freemem, media brightness, contrast, quality, dither, preview, debug wantdebug
// (rounded half to even) and media interlace, in this order. The preview is on only for exactly 1.
ConvertSettings ReadConvertSettings(const std::string& jobPath, const JobValueTrace& trace = {});

// Largest canvas, in bytes, whose frames fit the 16-bit skip count and span length.
inline constexpr std::size_t kMaxCanvasBytes = 65535;

// The canvas size in whole pixels for the job's device width and height. Throws JobValueError
// when a side is below 1 or too large, when the pixel count is not a multiple of 8 (the codecs
// work on whole bytes) or when a frame would reach 65536 bytes.
struct CanvasSize {
    std::size_t width = 0;
    std::size_t height = 0;
};
CanvasSize CheckCanvasSize(const LoadValues& values, const std::string& jobPath);

}  // namespace conversion
