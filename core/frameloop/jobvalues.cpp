#include "jobvalues.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "fileerror.hpp"
#include "inifiles.hpp"
#include "surface.hpp"

namespace conversion {

namespace {

bool sameKey(const JobKey& a, const JobKey& b) {
    return a.section == b.section && a.key == b.key;
}

double read(const JobSource& source, const JobKey& key, const JobValueReport& report) {
    for (const JobOverride& given : source.overrides) {
        if (!sameKey(given.key, key)) continue;
        if (report) report(key, given.value, "option " + given.option);
        return given.value;
    }
    if (source.usePresets) {
        if (report) report(key, key.preset, "default");
        return key.preset;
    }
    const double value = INIfiles::ReadININumber(source.path, key.section, key.key);
    if (report) report(key, value, "job file " + support::shownPath(source.path));
    return value;
}

JobValueReport fromTrace(const JobValueTrace& trace) {
    if (!trace) return {};
    return [trace](const JobKey& key, double value, const std::string&) {
        trace(key.section, key.key, value);
    };
}

// A job value rounded half to even to a 16-bit integer; values beyond it are held at its ends.
int toInteger(double value) {
    if (std::isnan(value)) return 0;
    const double rounded = std::nearbyint(value);
    return static_cast<int>(std::clamp(rounded, -32768.0, 32767.0));
}

}  // namespace

LoadValues readLoadValues(const std::string& jobPath, const JobValueTrace& trace) {
    return readLoadValues(JobSource{jobPath, {}, false}, fromTrace(trace));
}

ConvertSettings readConvertSettings(const std::string& jobPath, const JobValueTrace& trace) {
    return readConvertSettings(JobSource{jobPath, {}, false}, fromTrace(trace));
}

LoadValues readLoadValues(const JobSource& source, const JobValueReport& report) {
    LoadValues values;
    values.Width = read(source, jobkeys::kMediaWidth, report);
    values.Height = read(source, jobkeys::kMediaHeight, report);
    values.DWidth = read(source, jobkeys::kDeviceWidth, report);
    values.DHeight = read(source, jobkeys::kDeviceHeight, report);
    values.WantWhite = read(source, jobkeys::kBackground, report);
    return values;
}

ConvertSettings readConvertSettings(const JobSource& source, const JobValueReport& report) {
    ConvertSettings settings;
    std::string budgetFrom;
    settings.MaxBytes = read(source, jobkeys::kFreeMemory,
                             [&](const JobKey& key, double value, const std::string& from) {
                                 budgetFrom = from;
                                 if (report) report(key, value, from);
                             });
    if (settings.MaxBytes < 0) {
        throw JobValueError(budgetFrom + ": device freemem " + plainNumber(settings.MaxBytes) +
                            " is negative: the budget is a number of bytes, 0 or more");
    }
    settings.Brightness = read(source, jobkeys::kBrightness, report);
    settings.Contrast = read(source, jobkeys::kContrast, report);
    settings.Quality = read(source, jobkeys::kQuality, report);
    settings.WantDither = read(source, jobkeys::kDither, report);
    settings.WantPreview = read(source, jobkeys::kPreview, report) == 1;
    settings.WantDebug = toInteger(read(source, jobkeys::kWantDebug, report));
    settings.WantInterlace = read(source, jobkeys::kInterlace, report);
    return settings;
}

CanvasSize checkCanvasSize(const LoadValues& values, const std::string& where) {
    auto side = [&](double value) {
        // The canvas is the backdrop's rectangle: its sides in whole pixels.
        if (!(value >= 1)) return 0;
        if (value > capture::kMaxSurfaceSide) {
            throw JobValueError(where + "of more than " + std::to_string(capture::kMaxSurfaceSide) +
                                " pixels a side");
        }
        return capture::surfaceSide(static_cast<float>(value));
    };
    const int width = side(values.DWidth);
    const int height = side(values.DHeight);
    const std::string size = plainNumber(values.DWidth) + " x " + plainNumber(values.DHeight);
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

CanvasSize checkJobCanvasSize(const LoadValues& values, const std::string& jobPath) {
    return checkCanvasSize(values, "job file " + support::shownPath(jobPath) +
                                       ": canvas size (device width x height) ");
}

}  // namespace conversion
