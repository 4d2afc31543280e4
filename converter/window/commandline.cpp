#include "commandline.hpp"

#include <charconv>

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
    ConverterOptions options;
    std::vector<std::string> words;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            words.push_back(argument);
            continue;
        }
        std::string name = argument;
        std::optional<std::string> inlineValue;
        if (const auto equals = argument.find('=');
            argument.rfind("--", 0) == 0 && equals != std::string::npos) {
            name = argument.substr(0, equals);
            inlineValue = argument.substr(equals + 1);
        }
        auto value = [&]() -> std::string {
            if (inlineValue) return *inlineValue;
            if (i + 1 >= arguments.size()) throw UsageError("option " + name + " needs a value");
            return arguments[++i];
        };
        if (name == "--") {
            optionsEnded = true;
        } else if (name == "--headless") {
            options.headless = true;
        } else if (name == "--verbose") {
            options.verbose = true;
        } else if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--version") {
            options.version = true;
        } else if (name == "--job") {
            options.jobPath = value();
        } else if (name == "--output") {
            options.outputPath = value();
        } else if (name == "--screenshot") {
            options.screenshot = value();
        } else if (name == "--dump-canvases") {
            options.dumpDir = value();
        } else if (name == "--seed") {
            const std::string text = value();
            std::uint64_t seed = 0;
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seed);
            if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
                throw UsageError(
                    "--seed needs a whole number from 0 to 18446744073709551615, not \"" + text +
                    "\"");
            }
            options.seed = seed;
        } else {
            throw UsageError("unknown option " + argument +
                             " (a video path that begins with \"-\" goes after \"--\")");
        }
    }
    if (options.help || options.version) return options;

    std::string commandLine;
    for (const auto& word : words)
        commandLine += (commandLine.empty() ? "" : " ") + word;
    options.FileName = FileNameFromCommandLine(commandLine);
    if (options.FileName.empty()) throw UsageError("no video file given");
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
Exit status: 0 done, 1 a file could not be read or written, 2 a usage error, 130 cancelled.
)";
}

}  // namespace conversion
