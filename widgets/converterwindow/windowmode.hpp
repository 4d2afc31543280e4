#pragma once

#include "commandline.hpp"

namespace conversion {

// Converts in the window: shows it, converts, and ends when the output is written (no message),
// or after an error box. Returns the exit status, as runHeadless does.
int runWindow(const ConverterOptions& options, int& argc, char** argv);

}  // namespace conversion
