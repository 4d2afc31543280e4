#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bitstring.hpp"
#include "framesearch.hpp"
#include "tifunctions.hpp"

namespace conversion {

// Rows of the statistics table: code types 0 to 11.
inline constexpr int kStatisticsRows = TIFunctions::kCaptionCount;

// The conversion settings of a job, as the frame loop takes them.
struct ConvertSettings {
    double MaxBytes = 0;
    double Brightness = 0;
    double Contrast = 0;
    double Quality = 0;
    double WantDither = 0;
    bool WantPreview = false;
    int WantDebug = 0;
    double WantInterlace = 0;
};

// The stretch of the video a run converts, in microseconds: frame k is the picture at
// from + k / 10 seconds, and the frames end before to (or at the end of the video).
struct Stretch {
    std::int64_t from = 0;
    std::optional<std::int64_t> to;

    // The time of frame k in seconds: exactly k / 10.0 when from is 0.
    double frameTime(std::size_t k) const {
        return static_cast<double>(from + static_cast<std::int64_t>(k) * 100'000) / 1e6;
    }
    // Whether frame k begins before to.
    bool inside(std::size_t k) const {
        return !to || from + static_cast<std::int64_t>(k) * 100'000 < *to;
    }
};

// The counters of a run.
struct Statistics {
    std::size_t frames = 0;        // frames converted
    std::size_t bytesWritten = 0;  // output bytes, headers included
    // Frames per code type and kind (key, difference).
    TIFunctions::CodeTypeTally counts{};
};

// The texts of the statistics labels.
struct StatisticsLabels {
    std::string BytesWrittenLabel;
    std::string BytesToDoLabel;
    std::string FrameStatusLabel;
    std::string FramesExpectedLabel;
    std::string CompressionLabel;
    std::string PercentDone;
    std::array<std::string, kStatisticsRows> FramesCountLabel;  // "key / difference" per code type
};

// A number in plain decimal: no sign for positive values, no leading blank, no exponent, and no
// decimal point for whole values; below 1e-6 and from 1e21 on (in magnitude) the shortest form
// with an exponent ("1e+300"), so that no number runs to hundreds of digits.
std::string plainNumber(double value);

// The label texts for the statistics after a number of frames. playerWidth and playerHeight are
// the player's size on the window; a budget or a player area of 0 shows 0 where it would divide.
StatisticsLabels labelTexts(const Statistics& statistics, double MaxBytes, double playerWidth,
                            double playerHeight);

// What the frame loop reports after a frame.
struct FrameReport {
    std::size_t k = 0;  // index of the frame, from 0
    const SearchChoice& choice;
    const TIFunctions::BitString& reference;  // the screen after the record
    const Statistics& statistics;
};

// What the frame loop needs of the converter around it: the video, the stop request, the preview.
class FrameLoopHost {
  public:
    virtual ~FrameLoopHost() = default;

    // The playing length of the video in seconds.
    virtual double Length() = 0;
    // Positions the video at t seconds and samples the canvas of the picture shown there.
    virtual TIFunctions::BitString getCanvas(double t, double Brightness, double Contrast,
                                             double WantDither) = 0;
    // The stop request, cleared when the loop starts and read before every frame.
    virtual std::atomic<bool>& WantToStop() = 0;
    // The new canvas of frame k, before the search.
    virtual void canvasTaken(std::size_t /*k*/, const TIFunctions::BitString& /*canvas*/) {}
    // Draws the reference frame into the preview.
    virtual void ShowCanvas(const TIFunctions::BitString& /*reference*/) {}
    // Saves the preview picture of frame k as a debug image.
    virtual void saveDebugImage(std::size_t /*k*/) {}
    // Frame k is appended and counted.
    virtual void frameDone(const FrameReport& /*report*/) {}
};

// Converts the stretch of the video of host frame by frame at ten frames a second into frame
// records on a canvas of width x height pixels, from a blank screen, and returns the records.
// The first frame is always converted; after it the loop goes on while no stop is requested, the
// video's length reaches the frame's time, the frame begins before the stretch's end and fewer
// than MaxBytes bytes are written.
TIFunctions::BitString DryxConvert(const ConvertSettings& settings, std::size_t width,
                                   std::size_t height, FrameLoopHost& host,
                                   const Stretch& stretch = {});

// DryxConvert on canvases taken before, one per frame in order, instead of the video's: the loop
// ends after the last canvas. host gives the rest (the stop request, the preview, the reports)
// and is neither asked for a canvas nor told of one taken. No canvases give no records.
TIFunctions::BitString replayCanvases(const ConvertSettings& settings, std::size_t width,
                                      std::size_t height,
                                      const std::vector<TIFunctions::BitString>& canvases,
                                      FrameLoopHost& host, const Stretch& stretch = {});

}  // namespace conversion
