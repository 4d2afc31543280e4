#include "jobvalues.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "inifiles.hpp"
#include "surface.hpp"

namespace conversion {

namespace {

double read(const std::string& jobPath, const JobKey& key, const JobValueTrace& trace) {
    const double value = INIfiles::ReadININumber(jobPath, key.section, key.key);
    if (trace) trace(key.section, key.key, value);
    return value;
}

// A job value rounded half to even to a 16-bit integer; values beyond it are held at its ends.
int toInteger(double value) {
    if (std::isnan(value)) return 0;
    const double rounded = std::nearbyint(value);
    return static_cast<int>(std::clamp(rounded, -32768.0, 32767.0));
}

}  // namespace

LoadValues ReadLoadValues(const std::string& jobPath, const JobValueTrace& trace) {
    LoadValues values;
    values.Width = read(jobPath, jobkeys::kMediaWidth, trace);
    values.Height = read(jobPath, jobkeys::kMediaHeight, trace);
    values.DWidth = read(jobPath, jobkeys::kDeviceWidth, trace);
    values.DHeight = read(jobPath, jobkeys::kDeviceHeight, trace);
    values.WantWhite = read(jobPath, jobkeys::kBackground, trace);
    return values;
}

ConvertSettings ReadConvertSettings(const std::string& jobPath, const JobValueTrace& trace) {
    ConvertSettings settings;
    settings.MaxBytes = read(jobPath, jobkeys::kFreeMemory, trace);
    settings.Brightness = read(jobPath, jobkeys::kBrightness, trace);
    settings.Contrast = read(jobPath, jobkeys::kContrast, trace);
    settings.Quality = read(jobPath, jobkeys::kQuality, trace);
    settings.WantDither = read(jobPath, jobkeys::kDither, trace);
    settings.WantPreview = read(jobPath, jobkeys::kPreview, trace) == 1;
    settings.WantDebug = toInteger(read(jobPath, jobkeys::kWantDebug, trace));
    settings.WantInterlace = read(jobPath, jobkeys::kInterlace, trace);
    return settings;
}

CanvasSize CheckCanvasSize(const LoadValues& values, const std::string& jobPath) {
    const std::string where = "job file " + jobPath + ": canvas size (device width x height) ";
    auto side = [&](double value) {
        // The canvas is the backdrop's rectangle: its sides in whole pixels.
        if (!(value >= 1)) return 0;
        if (value > capture::kMaxSurfaceSide) {
            throw JobValueError(where + "of more than " + std::to_string(capture::kMaxSurfaceSide) +
                                " pixels a side");
        }
        return capture::SurfaceSide(static_cast<float>(value));
    };
    const int width = side(values.DWidth);
    const int height = side(values.DHeight);
    const std::string size = PlainNumber(values.DWidth) + " x " + PlainNumber(values.DHeight);
    if (width < 1 || height < 1)
        throw JobValueError(where + size + " is empty: both must be at least 1");
    const auto pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (pixels % 8 != 0) {
        throw JobValueError(where + size + " has " + std::to_string(pixels) +
                            " pixels, not a whole number of bytes (a multiple of 8)");
    }
    if (pixels / 8 > kMaxCanvasBytes) {
        throw JobValueError(where + size + " makes frames of " + std::to_string(pixels / 8) +
                            " bytes; the frame headers hold at most " +
                            std::to_string(kMaxCanvasBytes));
    }
    return {static_cast<std::size_t>(width), static_cast<std::size_t>(height)};
}

}  // namespace conversion
