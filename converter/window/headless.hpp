#pragma once

#include <iosfwd>

#include "commandline.hpp"

namespace conversion {

// Exit statuses of the converter.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitCancelled = 130;

// Converts without a window: progress, warnings and the summary go to err. Ctrl-C and SIGTERM
// stop after the frame in progress and save what was converted. Returns the exit status.
int RunHeadless(const ConverterOptions& options, std::ostream& err);

}  // namespace conversion
