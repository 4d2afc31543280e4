#include "runreport.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace conversion {

namespace {

// Seconds with one decimal: "17.9".
std::string seconds(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

}  // namespace

std::size_t stretchFrames(const Stretch& stretch, double length) {
    if (!(length >= stretch.frameTime(0))) return 1;
    // The frame loop's own test, from an estimate that is at most one frame off either way.
    const double guess = std::floor((length - stretch.frameTime(0)) * 10);
    std::size_t k = guess > 1e9 ? std::size_t{1'000'000'000} : static_cast<std::size_t>(guess);
    const auto reached = [&](std::size_t i) { return length >= stretch.frameTime(i); };
    while (k > 0 && !reached(k))
        --k;
    while (reached(k + 1))
        ++k;
    // Frames 0 to k lie inside the video; the stretch's end may come first.
    std::size_t frames = k + 1;
    while (frames > 1 && !stretch.inside(frames - 1))
        --frames;
    return frames;
}

double reachedTime(const RunProgress& progress) {
    return std::min(progress.stretch.frameTime(progress.frames), endTime(progress));
}

double endTime(const RunProgress& progress) {
    return progress.stretch.frameTime(progress.videoFrames);
}

std::string progressLine(const RunProgress& progress) {
    const StatisticsLabels& labels = progress.labels;
    return "frame " + std::to_string(progress.frames) + " of " +
           std::to_string(progress.videoFrames) + ", " + seconds(reachedTime(progress)) + " of " +
           seconds(endTime(progress)) + " s, " + labels.BytesWrittenLabel + " of " +
           labels.BytesToDoLabel + " bytes (" + labels.PercentDone + "%), compression " +
           labels.CompressionLabel + "%";
}

std::string budgetNote(const RunProgress& progress, double MaxBytes, std::size_t bytesWritten) {
    if (progress.frames == 0 || progress.frames >= progress.videoFrames ||
        static_cast<double>(bytesWritten) < MaxBytes) {
        return {};
    }
    // The bytes the whole stretch would take at the rate so far, rounded up to hundreds.
    const double perFrame =
        static_cast<double>(bytesWritten) / static_cast<double>(progress.frames);
    const double needed =
        std::ceil(perFrame * static_cast<double>(progress.videoFrames) / 100) * 100;
    return "the budget of " + plainNumber(MaxBytes) + " bytes ended the conversion at " +
           seconds(reachedTime(progress)) + " s of the video's " + seconds(endTime(progress)) +
           " s (" + std::to_string(progress.frames) + " of " +
           std::to_string(progress.videoFrames) +
           " frames); to convert it all, try --fit (a lossier quality that fits) or --budget " +
           plainNumber(needed) +
           " (about what it needs at this rate), or convert only what fits "
           "with --to " +
           seconds(reachedTime(progress));
}

}  // namespace conversion
