#include "joboptions.hpp"

#include <cstdint>

#include "surface.hpp"

namespace conversion {

namespace {

constexpr std::string_view kInterlaceHelp = "try interlaced frames or not ([media] interlace)";
constexpr std::string_view kPreviewHelp =
    "show the calculator's screen in the window or not ([media] preview)";

}  // namespace

const std::array<support::Option, 13> kJobOptions = {
    {{"--budget", "BYTES", "the memory the data may fill ([device] freemem), 0 to 4294967295"},
     {"--quality", "N",
      "0 (every changed pixel shown) to 8 (bytes with fewer than 8 changed pixels keep the old "
      "screen) ([media] quality)"},
     {"--dither", "MODE", "none, linear, natural or weighted ([media] dithermode)"},
     {"--brightness", "N", "the dark / light threshold, 0 to 255 ([media] brightness)"},
     {"--contrast", "N", "half the width of the dither band, 0 to 128 ([media] contrast)"},
     {"--video-size", "WxH",
      "the picture's size on the player, 1 to 4096 a side ([media] width, height)"},
     {"--canvas-size", "WxH",
      "the calculator screen, a whole number of bytes: 96x64 ([device] width, height)"},
     {"--background", "COLOUR", "black or white, around the picture ([media] bgwhite)"},
     {"--interlace", {}, kInterlaceHelp},
     {"--no-interlace", {}, kInterlaceHelp},
     {"--preview", {}, kPreviewHelp},
     {"--no-preview", {}, kPreviewHelp},
     {"--fit",
      {},
      "choose the least lossy quality and interlacing with which the whole video (or stretch) fits "
      "the budget, and print them as options that repeat the run; the settings are tried in this "
      "order, from the least loss: --quality 0 --no-interlace (every frame as it is), --quality 0 "
      "--interlace (half the rows may show the frame before, for a tenth of a second), then "
      "--quality 1 to 8 with --interlace (bytes with fewer than N changed pixels keep the old "
      "screen, up to a second); when even the last does not fit, nothing is written (status 1) and "
      "the message says how much of the video fits and the --to that converts it"}}};

namespace {

// Largest budget an option takes: far beyond any calculator's memory.
constexpr std::uint64_t kMaxBudget = 4'294'967'295;

constexpr const char* kDitherNames[] = {"none", "linear", "natural", "weighted"};

// W and H of "WxH", each a whole number from 1 to kMaxSurfaceSide.
std::array<double, 2> sizeValue(const std::string& option, const std::string& text) {
    const auto x = text.find_first_of("xX");
    if (x == std::string::npos) {
        throw support::UsageError(option + " needs a size WIDTHxHEIGHT such as 96x64, not \"" +
                                  text + "\"");
    }
    const auto side = [&](const std::string& part) {
        return static_cast<double>(support::wholeNumber(option, part, 1, capture::kMaxSurfaceSide));
    };
    return {side(text.substr(0, x)), side(text.substr(x + 1))};
}

double ditherValue(const std::string& text) {
    for (std::size_t mode = 0; mode < std::size(kDitherNames); ++mode) {
        if (text == kDitherNames[mode] || text == std::to_string(mode))
            return static_cast<double>(mode);
    }
    throw support::UsageError(
        "--dither needs none, linear, natural or weighted (or 0 to 3), not \"" + text + "\"");
}

// The flag pair on / off: 1, 0, or nothing when neither is given.
std::optional<double> flagValue(const support::Arguments& parsed, const std::string& on,
                                const std::string& off) {
    if (parsed.has(on) && parsed.has(off))
        throw support::UsageError(on + " and " + off + " cannot go together");
    if (parsed.has(on)) return 1;
    if (parsed.has(off)) return 0;
    return std::nullopt;
}

}  // namespace

std::vector<JobOverride> parseJobOptions(const support::Arguments& parsed) {
    for (const char* chosen : {"--quality", "--interlace", "--no-interlace"}) {
        if (parsed.has("--fit") && parsed.has(chosen)) {
            throw support::UsageError(std::string("--fit chooses the quality and the interlacing "
                                                  "and cannot go with ") +
                                      chosen);
        }
    }
    std::vector<JobOverride> overrides;
    const auto add = [&](const JobKey& key, double value, const std::string& option) {
        overrides.push_back(JobOverride{key, value, option});
    };
    const auto whole = [&](const std::string& option, const JobKey& key, std::uint64_t high) {
        if (const auto text = parsed.value(option))
            add(key, static_cast<double>(support::wholeNumber(option, *text, 0, high)), option);
    };
    whole("--budget", jobkeys::kFreeMemory, kMaxBudget);
    whole("--quality", jobkeys::kQuality, 8);
    if (const auto text = parsed.value("--dither"))
        add(jobkeys::kDither, ditherValue(*text), "--dither");
    whole("--brightness", jobkeys::kBrightness, 255);
    whole("--contrast", jobkeys::kContrast, 128);
    if (const auto text = parsed.value("--video-size")) {
        const auto [width, height] = sizeValue("--video-size", *text);
        add(jobkeys::kMediaWidth, width, "--video-size");
        add(jobkeys::kMediaHeight, height, "--video-size");
    }
    if (const auto text = parsed.value("--canvas-size")) {
        const auto [width, height] = sizeValue("--canvas-size", *text);
        LoadValues values;
        values.DWidth = width;
        values.DHeight = height;
        try {
            checkCanvasSize(values, "--canvas-size: canvas size ");
        } catch (const JobValueError& error) {
            throw support::UsageError(error.what());
        }
        add(jobkeys::kDeviceWidth, width, "--canvas-size");
        add(jobkeys::kDeviceHeight, height, "--canvas-size");
    }
    if (const auto text = parsed.value("--background")) {
        if (*text != "black" && *text != "white") {
            throw support::UsageError("--background needs black or white, not \"" + *text + "\"");
        }
        add(jobkeys::kBackground, *text == "white" ? 1 : 0, "--background");
    }
    if (const auto on = flagValue(parsed, "--interlace", "--no-interlace"))
        add(jobkeys::kInterlace, *on, *on == 1 ? "--interlace" : "--no-interlace");
    if (const auto on = flagValue(parsed, "--preview", "--no-preview"))
        add(jobkeys::kPreview, *on, *on == 1 ? "--preview" : "--no-preview");
    return overrides;
}

}  // namespace conversion
