#pragma once

#include <iosfwd>

#include "commandline.hpp"
#include "program.hpp"

namespace conversion {

class Converter;

// After a run of converter over stretch: prints the summary, the note when the budget ended the
// run early, and where the data went ("wrote PATH"). Returns the exit status of the run.
int printRunEnd(std::ostream& err, Converter& converter, const Statistics& statistics,
                const Stretch& stretch);

// Converts without a window: progress, warnings and the summary go to err. Ctrl-C and SIGTERM
// stop after the frame in progress and save what was converted. Returns the exit status
// (support::kExitDone, ...).
int runHeadless(const ConverterOptions& options, std::ostream& err);

}  // namespace conversion
