#pragma once

// --fit: the least lossy quality and interlacing with which a whole stretch fits the budget.

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include "bitstring.hpp"
#include "dryxconvert.hpp"

namespace conversion {

// One setting --fit tries.
struct FitStep {
    double Quality = 0;
    double WantInterlace = 0;
};

// The settings --fit tries, in order of increasing loss. Quality 0 without interlacing shows
// every frame as it is. Interlacing comes next: it may leave half the rows of a frame as they
// were for one frame, a tenth of a second. Then quality 1 to 8, with interlacing: a byte with
// fewer than Quality changed pixels keeps the old screen, which can last until the next frame
// offered without blending (every tenth, a second later) and hides more as Quality grows.
inline constexpr std::array<FitStep, 10> kFitSteps = {
    {{0, 0}, {0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}, {7, 1}, {8, 1}}};

// What findFit found.
struct FitResult {
    std::optional<std::size_t> step;  // index in kFitSteps of the least lossy that fits
    std::size_t bytes = 0;            // the data of that step, or of the lossiest when none fits
    // Frames from the first whose data fit the budget at the lossiest step (when none fits).
    std::size_t lossiestFrames = 0;
};

// The data of converting canvases (every frame of a stretch, in order) with settings, its
// quality and interlacing replaced by step, as DryxConvert gives it; stops once the data reach
// the budget, MaxBytes. bytesAfter, when given, receives the data's size after each frame.
TIFunctions::BitString convertCanvases(const std::vector<TIFunctions::BitString>& canvases,
                                       ConvertSettings settings, const FitStep& step,
                                       std::size_t width, std::size_t height,
                                       std::vector<std::size_t>* bytesAfter = nullptr);

// Tries kFitSteps in order on canvases and returns the first whose data, for every frame, take
// at most settings.MaxBytes bytes.
FitResult findFit(const std::vector<TIFunctions::BitString>& canvases,
                  const ConvertSettings& settings, std::size_t width, std::size_t height);

}  // namespace conversion
