#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "dryxconvert.hpp"

namespace conversion {

// Job values that make the converter refuse the job; what() names the file and the value.
class JobValueError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A value of the job file, found by INIfiles::ReadININumber: the key matches as a prefix of the
// line, so "dither" finds the job maker's "dithermode".
struct JobKey {
    std::string_view section;
    std::string_view key;
    // False for a value only ever written by hand ([debug] wantdebug); the job maker leaves it out.
    bool fromJobMaker = true;
    // The value of the job maker's default job file; taken when there is no job file.
    double preset = 0;
};

namespace jobkeys {
inline constexpr JobKey kMediaWidth{"media", "width", true, 94};
inline constexpr JobKey kMediaHeight{"media", "height", true, 62};
inline constexpr JobKey kDeviceWidth{"device", "width", true, 96};
inline constexpr JobKey kDeviceHeight{"device", "height", true, 64};
inline constexpr JobKey kBackground{"media", "bgwhite"};
inline constexpr JobKey kFreeMemory{"device", "freemem", true, 24000};
inline constexpr JobKey kBrightness{"media", "brightness", true, 120};
inline constexpr JobKey kContrast{"media", "contrast", true, 40};
inline constexpr JobKey kQuality{"media", "quality"};
inline constexpr JobKey kDither{"media", "dither"};
inline constexpr JobKey kPreview{"media", "preview", true, 1};
inline constexpr JobKey kWantDebug{"debug", "wantdebug", false};
inline constexpr JobKey kInterlace{"media", "interlace", true, 1};
}  // namespace jobkeys

// Every value the converter reads from the job file, in the order it reads them: readLoadValues,
// then readConvertSettings.
inline constexpr std::array kJobKeys = {
    jobkeys::kMediaWidth, jobkeys::kMediaHeight, jobkeys::kDeviceWidth, jobkeys::kDeviceHeight,
    jobkeys::kBackground, jobkeys::kFreeMemory,  jobkeys::kBrightness,  jobkeys::kContrast,
    jobkeys::kQuality,    jobkeys::kDither,      jobkeys::kPreview,     jobkeys::kWantDebug,
    jobkeys::kInterlace};

// Told of every job value as it is read: section, key, and the number.
using JobValueTrace =
    std::function<void(std::string_view section, std::string_view key, double value)>;

// A job value given on the command line in place of the job file's.
struct JobOverride {
    JobKey key;
    double value = 0;
    std::string option;  // the option that gave it, "--quality"
};

// Where the job values come from: an option names a value first, then the job file at path; when
// usePresets is set (there is no job file) the job maker's defaults, JobKey::preset.
struct JobSource {
    std::string path;
    std::vector<JobOverride> overrides;
    bool usePresets = false;
};

// Told of every job value as it is read: its key, the number, and where it came from ("option
// --quality", "job file PATH", "default").
using JobValueReport =
    std::function<void(const JobKey& key, double value, const std::string& origin)>;

// The values read when the window loads: player size, canvas size, background choice.
struct LoadValues {
    double Width = 0;
    double Height = 0;
    double DWidth = 0;
    double DHeight = 0;
    double WantWhite = 0;
};

// Reads media width, media height, device width, device height and media bgwhite, in this order.
// Throws support::FileError when the job file cannot be read.
LoadValues readLoadValues(const std::string& jobPath, const JobValueTrace& trace = {});

// Reads device freemem, media brightness, contrast, quality, dither, preview, debug wantdebug
// (rounded half to even) and media interlace, in this order. The preview is on only for exactly 1.
ConvertSettings readConvertSettings(const std::string& jobPath, const JobValueTrace& trace = {});

// readLoadValues and readConvertSettings over source: a job file is read only for the values no
// option gives.
LoadValues readLoadValues(const JobSource& source, const JobValueReport& report);
ConvertSettings readConvertSettings(const JobSource& source, const JobValueReport& report);

// Largest canvas, in bytes, whose frames fit the 16-bit skip count and span length.
inline constexpr std::size_t kMaxCanvasBytes = 65535;

// A canvas size in whole pixels.
struct CanvasSize {
    std::size_t width = 0;
    std::size_t height = 0;
};

// The canvas size in whole pixels for the device width and height of values. Throws
// JobValueError, its message beginning with where ("--canvas-size: canvas size "), when a side is
// below 1 or too large, when the pixel count is not a multiple of 8 (the codecs work on whole
// bytes) or when a frame would reach 65536 bytes.
CanvasSize checkCanvasSize(const LoadValues& values, const std::string& where);

// checkCanvasSize of the size a job file gives; the messages name the file at jobPath.
CanvasSize checkJobCanvasSize(const LoadValues& values, const std::string& jobPath);

}  // namespace conversion
