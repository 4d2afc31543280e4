#pragma once

#include <iosfwd>

#include "commandline.hpp"
#include "program.hpp"

namespace conversion {

// Converts without a window: progress, warnings and the summary go to err. Ctrl-C and SIGTERM
// stop after the frame in progress and save what was converted. Returns the exit status
// (support::kExitDone, ...).
int runHeadless(const ConverterOptions& options, std::ostream& err);

}  // namespace conversion
