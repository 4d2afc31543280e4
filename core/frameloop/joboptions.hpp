#pragma once

// The converter's options that give job values in place of the job file's.

#include <array>
#include <vector>

#include "arguments.hpp"
#include "jobvalues.hpp"

namespace conversion {

// --budget, --quality, --dither, --brightness, --contrast, --video-size, --canvas-size,
// --background, --interlace / --no-interlace, --preview / --no-preview, and --fit, which chooses
// the quality and the interlacing.
extern const std::array<support::Option, 13> kJobOptions;

// The job values parsed gives, in the order of kJobOptions, each checked as the job file's value
// is. Throws support::UsageError naming the option for a value it cannot use, and for --fit
// with an option that gives what it chooses.
std::vector<JobOverride> parseJobOptions(const support::Arguments& parsed);

}  // namespace conversion
