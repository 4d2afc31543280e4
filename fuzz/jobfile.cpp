// Job file text: every key the converter reads, as text and as numbers; the values through the
// canvas-size checks and the layout; a small canvas then through a few frames of the frame loop.

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <utility>

#include "check.hpp"
#include "dryxconvert.hpp"
#include "fileerror.hpp"
#include "inifiles.hpp"
#include "jobvalues.hpp"
#include "layout.hpp"
#include "rasteriser.hpp"
#include "surface.hpp"

namespace {

// Canvases up to this many pixels also go through the frame loop.
constexpr std::size_t kLoopPixels = 128 * 128;
// Largest picture side drawn on the surface; the player may be larger.
constexpr int kPictureSide = 256;

const std::string& jobPath() {
    static const std::string path = (std::filesystem::temp_directory_path() /
                                     ("kelvonar-fuzz-job-" + std::to_string(getpid()) + ".ini"))
                                        .string();
    return path;
}

// A video of a few frames at the player's size (at most kPictureSide a side): a gradient that
// moves with time.
class GradientHost : public conversion::FrameLoopHost {
  public:
    GradientHost(const capture::Layout& layout, double seconds)
        : m_layout(layout), m_seconds(seconds) {}

    double Length() override { return m_seconds; }

    TIFunctions::BitString getCanvas(double t, double Brightness, double Contrast,
                                     double WantDither) override {
        capture::Picture picture;
        const auto side = [](float size) {
            return size >= 1 ? static_cast<int>(std::min<float>(size, kPictureSide)) : 0;
        };
        picture.width = side(m_layout.player.width);
        picture.height = side(m_layout.player.height);
        picture.rgb.resize(static_cast<std::size_t>(picture.width) *
                           static_cast<std::size_t>(picture.height) * 3);
        const int shift = static_cast<int>(t * 10);
        for (std::size_t i = 0; i < picture.rgb.size(); ++i)
            picture.rgb[i] = static_cast<std::uint8_t>(i / 3 * 7 + static_cast<std::size_t>(shift));
        const capture::Surface surface = capture::composeSurface(m_layout, &picture);
        return capture::getCanvas(surface, Brightness, Contrast, WantDither, m_random);
    }

    std::atomic<bool>& WantToStop() override { return m_stop; }

    void frameDone(const conversion::FrameReport& report) override {
        const conversion::StatisticsLabels labels = conversion::labelTexts(
            report.statistics, m_maxBytes, m_layout.player.width, m_layout.player.height);
        fuzz::require(!labels.BytesWrittenLabel.empty(), "the statistics have their labels");
    }

    void setMaxBytes(double maxBytes) { m_maxBytes = maxBytes; }

  private:
    const capture::Layout& m_layout;
    double m_seconds;
    double m_maxBytes = 0;
    std::atomic<bool> m_stop{false};
    capture::UniformRandom m_random{1};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(jobPath(), std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        fuzz::require(static_cast<bool>(out), "the job file is written");
    }

    // Each key as text and as a number; reading the file gives what the text gives.
    std::map<std::pair<std::string_view, std::string_view>, double> fromText;
    for (const conversion::JobKey& key : conversion::kJobKeys) {
        const std::string value = INIfiles::findIniString(text, key.section, key.key);
        fuzz::require(value.size() <= text.size(), "a value is part of the text");
        fuzz::require(value.empty() || (value.front() != ' ' && value.back() != ' '),
                      "a value is trimmed");
        const double number = INIfiles::parseLeadingNumber(value);
        fuzz::require(std::isfinite(number), "a job value is a finite number");
        fromText[{key.section, key.key}] = number;
    }
    const conversion::JobValueTrace trace = [&](std::string_view section, std::string_view key,
                                                double value) {
        fuzz::require(fromText.at({section, key}) == value, "the file's number is the text's");
    };

    // The converter refuses a job with a message that names the job file.
    conversion::LoadValues values;
    conversion::ConvertSettings settings;
    conversion::CanvasSize canvas;
    try {
        values = conversion::readLoadValues(jobPath());
        settings = conversion::readConvertSettings(jobPath());
        canvas = conversion::checkJobCanvasSize(values, jobPath());
    } catch (const support::FileError&) {
        fuzz::require(size == 0, "only an empty job file cannot be read");
        return 0;
    } catch (const conversion::JobValueError& error) {
        fuzz::require(std::string_view(error.what()).find(jobPath()) != std::string_view::npos,
                      "a refused job value names the job file");
        return 0;
    }
    const std::size_t pixels = canvas.width * canvas.height;
    fuzz::require(pixels >= 8 && pixels % 8 == 0 && pixels / 8 <= conversion::kMaxCanvasBytes,
                  "an accepted canvas holds whole bytes that fit the frame headers");

    capture::Layout layout = capture::InitMediaPlayer(values.Width, values.Height, values.DWidth,
                                                      values.DHeight, values.WantWhite);
    capture::SetPreviewLayout(layout, settings.WantPreview);
    const capture::Surface surface = capture::composeSurface(layout, nullptr);
    fuzz::require(static_cast<std::size_t>(surface.width) == canvas.width &&
                      static_cast<std::size_t>(surface.height) == canvas.height,
                  "the surface has the canvas size");
    if (pixels > kLoopPixels) return 0;

    // The player's sides as the converter takes them: whole pixels, at most the surface's limit.
    if (layout.player.width > capture::kMaxSurfaceSide ||
        layout.player.height > capture::kMaxSurfaceSide)
        return 0;
    GradientHost host(layout, 0.3);
    host.setMaxBytes(settings.MaxBytes);
    const TIFunctions::BitString output =
        conversion::DryxConvert(settings, canvas.width, canvas.height, host);
    fuzz::require(!output.empty() && output.size() % 8 == 0, "the frame loop writes whole records");
    return 0;
}
