#pragma once

#include <cstddef>
#include <string>

#include "dryxconvert.hpp"

namespace conversion {

// The frames the frame loop takes from a video of length seconds: one for each tenth of a second
// of the stretch up to the end of the video or the stretch, and at least the first.
std::size_t stretchFrames(const Stretch& stretch, double length);

// Where a run stands, in the video's time.
struct RunProgress {
    std::size_t frames = 0;       // frames converted
    std::size_t videoFrames = 0;  // frames of the whole stretch (stretchFrames)
    Stretch stretch;
    StatisticsLabels labels;
};

// The time the converted frames reach, in seconds of the video.
double reachedTime(const RunProgress& progress);
// The time the stretch ends, in seconds of the video.
double endTime(const RunProgress& progress);

// "frame 51 of 60, 5.1 of 6.0 s, 4321 of 24000 bytes (18%), compression 88%".
std::string progressLine(const RunProgress& progress);

// When the budget of MaxBytes ended the run before the end of the stretch, the lines that say so
// and how to fit it; empty otherwise.
std::string budgetNote(const RunProgress& progress, double MaxBytes, std::size_t bytesWritten);

}  // namespace conversion
