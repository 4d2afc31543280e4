#include "dryxconvert.hpp"

#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "tifunctions.hpp"

namespace conversion {

using TIFunctions::BitString;

std::string plainNumber(double value) {
    if (value == 0) return "0";  // also for -0
    if (std::isnan(value)) return "not a number";
    if (std::isinf(value)) return value > 0 ? "more than 1.8e+308" : "less than -1.8e+308";
    const double size = std::fabs(value);
    // Past 21 digits, or 6 zeros after the point, the exponent keeps the number short.
    const auto format =
        size >= 1e21 || size < 1e-6 ? std::chars_format::scientific : std::chars_format::fixed;
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format);
    return std::string(buffer, result.ptr);
}

StatisticsLabels labelTexts(const Statistics& statistics, double MaxBytes, double playerWidth,
                            double playerHeight) {
    StatisticsLabels labels;
    const auto bytes = static_cast<double>(statistics.bytesWritten);
    const auto frames = static_cast<double>(statistics.frames);
    labels.BytesWrittenLabel = plainNumber(bytes);
    labels.BytesToDoLabel = plainNumber(MaxBytes);
    labels.FrameStatusLabel = plainNumber(frames);
    labels.CompressionLabel = "0";
    labels.FramesExpectedLabel = "0";
    labels.PercentDone = "0";
    if (frames > 0) {
        const double average = bytes / frames;
        // Percent saved against the player's picture at one bit per pixel.
        const double pictureBytes = playerHeight * playerWidth * 0.125;
        if (pictureBytes > 0) {
            labels.CompressionLabel = plainNumber(100 - std::floor(average / pictureBytes * 100));
        }
        labels.FramesExpectedLabel = plainNumber(std::floor(MaxBytes / average));
    }
    if (MaxBytes != 0) labels.PercentDone = plainNumber(std::floor(bytes * 100 / MaxBytes));
    for (int t = 0; t < kStatisticsRows; ++t) {
        const auto& count = statistics.counts[static_cast<std::size_t>(t)];
        labels.FramesCountLabel[static_cast<std::size_t>(t)] =
            plainNumber(static_cast<double>(count[0])) + " / " +
            plainNumber(static_cast<double>(count[1]));
    }
    return labels;
}

BitString DryxConvert(const ConvertSettings& settings, std::size_t width, std::size_t height,
                      FrameLoopHost& host, const Stretch& stretch) {
    const std::size_t pixels = width * height;
    BitString reference = BitString::filled(pixels, false);
    BitString output;
    Statistics statistics;
    FrameSearch search;
    std::size_t k = 0;
    host.WantToStop() = false;

    auto goOn = [&] {
        if (k == 0) return true;
        return !host.WantToStop() && host.Length() >= stretch.frameTime(k) && stretch.inside(k) &&
               static_cast<double>(statistics.bytesWritten) < settings.MaxBytes;
    };
    while (goOn()) {
        const BitString canvas = host.getCanvas(stretch.frameTime(k), settings.Brightness,
                                                settings.Contrast, settings.WantDither);
        if (canvas.size() != pixels) throw std::logic_error("canvas of the wrong size");
        host.canvasTaken(k, canvas);

        const SearchChoice& choice =
            search.search(canvas, reference, k, settings.Quality, settings.WantInterlace, width);
        reference = choice.shown;
        if (settings.WantPreview) host.ShowCanvas(reference);
        if (settings.WantPreview && settings.WantDebug == 1) host.saveDebugImage(k);

        output.pushByte(RecordHeader(choice.kind, choice.codeType));
        output.append(choice.data);
        statistics.bytesWritten = output.size() / 8;
        ++statistics.counts[static_cast<std::size_t>(choice.codeType)]
                           [static_cast<std::size_t>(choice.kind)];
        statistics.frames = ++k;
        host.frameDone(FrameReport{k - 1, choice, reference, statistics});
    }
    return output;
}

namespace {

// The frame loop's host for canvases taken before: hands them out in order, everything else
// goes to the host around it.
class CanvasReplay final : public FrameLoopHost {
  public:
    CanvasReplay(const std::vector<BitString>& canvases, FrameLoopHost& host)
        : m_canvases(canvases), m_host(host) {}

    // Endless while canvases remain, so that no frame time ends the loop; before any time after.
    double Length() override {
        return m_next < m_canvases.size() ? std::numeric_limits<double>::infinity()
                                          : -std::numeric_limits<double>::infinity();
    }
    BitString getCanvas(double, double, double, double) override { return m_canvases[m_next++]; }
    std::atomic<bool>& WantToStop() override { return m_host.WantToStop(); }
    void ShowCanvas(const BitString& reference) override { m_host.ShowCanvas(reference); }
    void saveDebugImage(std::size_t k) override { m_host.saveDebugImage(k); }
    void frameDone(const FrameReport& report) override { m_host.frameDone(report); }

  private:
    const std::vector<BitString>& m_canvases;
    FrameLoopHost& m_host;
    std::size_t m_next = 0;
};

}  // namespace

BitString replayCanvases(const ConvertSettings& settings, std::size_t width, std::size_t height,
                         const std::vector<BitString>& canvases, FrameLoopHost& host,
                         const Stretch& stretch) {
    if (canvases.empty()) return {};
    CanvasReplay replay(canvases, host);
    return DryxConvert(settings, width, height, replay, stretch);
}

}  // namespace conversion
