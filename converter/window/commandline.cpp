#include "commandline.hpp"

#include <cstdint>

namespace conversion {

std::string FileNameFromCommandLine(const std::string& commandLine) {
    if (!commandLine.empty() && commandLine.front() == '"') {
        // The last character goes whatever it is; a lone quote leaves nothing.
        return commandLine.size() < 2 ? std::string()
                                      : commandLine.substr(1, commandLine.size() - 2);
    }
    return commandLine;
}

ConverterOptions ParseCommandLine(const std::vector<std::string>& arguments) {
    static constexpr support::Option kOptions[] = {
        {"--headless", false},  {"--verbose", false},      {"--job", true}, {"--output", true},
        {"--screenshot", true}, {"--dump-canvases", true}, {"--seed", true}};
    const support::Arguments parsed = support::parseArguments(arguments, kOptions, "a video path");
    ConverterOptions options;
    options.headless = parsed.has("--headless");
    options.verbose = parsed.has("--verbose");
    options.help = parsed.help();
    options.version = parsed.version();
    options.jobPath = parsed.value("--job");
    options.outputPath = parsed.value("--output");
    options.screenshot = parsed.value("--screenshot");
    options.dumpDir = parsed.value("--dump-canvases");
    if (const auto seed = parsed.value("--seed"))
        options.seed = support::wholeNumber("--seed", *seed, 0, UINT64_MAX);
    if (options.help || options.version) return options;

    std::string commandLine;
    for (const auto& word : parsed.operands())
        commandLine += (commandLine.empty() ? "" : " ") + word;
    options.FileName = FileNameFromCommandLine(commandLine);
    if (options.FileName.empty()) throw support::UsageError("no video file given");
    return options;
}

std::string UsageText() {
    return R"(Usage: kelvonar [OPTIONS] [--] VIDEO

Converts VIDEO into animation data for a 96 x 64 calculator screen: ten frames a second, each
written as the smallest key or difference frame record, into my.z80 as " .db" data lines.
The job settings come from thisjob.ini in the program's directory (written by prelmat).

Options:
  --headless            convert without a window; progress and a summary go to stderr
                        (the window needs a display; without one, use --headless)
  --job PATH            read the job settings from PATH instead of thisjob.ini
  --output PATH         write the data lines to PATH instead of my.z80
  --seed N              seed the dither generator with N, so that a run can be repeated
  --dump-canvases DIR   write every canvas, before the search, as DIR/NNNNNNNN.pbm
  --verbose             print the job values as they are read
  --screenshot PNG      save a picture of the window when the conversion ends
  --help                show this text
  --version             show the version
  --                    end of options: what follows is the video path

The video path is the remaining arguments joined by single blanks; when it starts with a double
quote, its first and last characters are dropped.
Ctrl-C (or SIGTERM) stops after the frame in progress and saves what was converted (status 130).
Exit status: 0 done, 1 a file could not be read or written, 2 a usage error or no display for
the window, 130 cancelled.
)";
}

}  // namespace conversion
