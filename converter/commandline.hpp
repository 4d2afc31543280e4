#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "arguments.hpp"
#include "dryxconvert.hpp"
#include "jobvalues.hpp"
#include "mediaplayer.hpp"

namespace conversion {

// What the converter's command line asks for.
struct ConverterOptions {
    std::string FileName;  // the video path
    bool headless = false;
    bool verbose = false;
    bool help = false;
    bool version = false;
    std::optional<std::string> jobPath;     // in place of the program directory's thisjob.ini
    std::optional<std::string> outputPath;  // in place of the program directory's my.z80
    std::optional<std::string> dumpDir;     // folder for the canvases as PBM files
    std::optional<std::uint64_t> seed;      // seed of the dither generator
    std::optional<std::string> screenshot;  // PNG of the window when the conversion ends
    Stretch stretch;                        // the stretch of the video to convert
    std::vector<JobOverride> jobValues;     // job values given as options
    bool fit = false;                       // choose quality and interlacing to fit the budget
    bool keepAspect = false;                // --aspect keep: the picture whole, centred
    capture::Deinterlace deinterlace = capture::Deinterlace::Auto;
    int threads = 0;  // decoder threads, 0 one per core
};

// The video path of a command line: taken whole, blanks included; when it begins with a double
// quote, its first and last characters are dropped.
std::string fileNameFromCommandLine(const std::string& commandLine);

// Parses the arguments after the program name. Options come first or anywhere; "--" ends them.
// The remaining arguments, joined by single blanks, are the command line of the video path.
// Throws support::UsageError for an unknown or repeated option, a missing option value or no
// video path.
ConverterOptions parseCommandLine(const std::vector<std::string>& arguments);

// The text of --help.
std::string usageText();

}  // namespace conversion
