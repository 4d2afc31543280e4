#include "commandline.hpp"

#include <cstdint>
#include <iterator>

#include "joboptions.hpp"

namespace conversion {

namespace {

// libavcodec chooses at most 16 decoder threads itself and warns against more.
constexpr std::uint64_t kMaxThreads = 16;

}  // namespace

std::string fileNameFromCommandLine(const std::string& commandLine) {
    if (!commandLine.empty() && commandLine.front() == '"') {
        // The last character goes whatever it is; a lone quote leaves nothing.
        return commandLine.size() < 2 ? std::string()
                                      : commandLine.substr(1, commandLine.size() - 2);
    }
    return commandLine;
}

namespace {

constexpr support::Option kOptions[] = {
    {"--headless",
     {},
     "convert without a window; progress and a summary go to stderr\n(the window needs a display; "
     "without one, use --headless)"},
    {"--job", "PATH", "read the job settings from PATH instead of thisjob.ini"},
    {"--output", "PATH", "write the data lines to PATH instead of my.z80"},
    {"--seed", "N", "seed the dither generator with N, so that a run can be repeated"},
    {"--from", "TIME",
     "convert from TIME on: frame k is the picture at TIME + k / 10 s; the video is entered by "
     "seeking, not decoded from its start. TIME is seconds (95.5) or [[h:]m:]s[.f] (1:35.5); past "
     "the end: a usage error"},
    {"--to", "TIME", "end before TIME (or at the end of the video); after --from"},
    {"--aspect", "stretch|keep",
     "stretch the picture over the job's size (the default), or keep its shape: scaled whole and "
     "centred, the rest in the background colour"},
    {"--deinterlace", "auto|on|off",
     "deinterlace the frames the video marks interlaced (auto, the default), every frame, or "
     "none; interlaced frames otherwise show comb teeth on alternate rows where things move"},
    {"--threads", "N",
     "decode the video on N threads (0 to 16); 0, the default, one a core. "
     "The output is the same for every N, but a damaged video (errors the decoder hides) repeats "
     "exactly only with --threads 1"},
    {"--dump-canvases", "DIR",
     "write every canvas, before the search, as DIR/NNNNNNNN.pbm, and the job's quality and "
     "interlace as DIR/canvases.ini, by which kelvonar-play --check judges"},
    {"--verbose",
     {},
     "print the job values as they are read, and where each came from (an option, the job file, "
     "or the default), and how the video's display matrix turns its pictures upright"},
    {"--screenshot", "PNG", "save a picture of the window when the conversion ends"}};

}  // namespace

ConverterOptions parseCommandLine(const std::vector<std::string>& arguments) {
    std::vector<support::Option> all(std::begin(kOptions), std::end(kOptions));
    all.insert(all.end(), kJobOptions.begin(), kJobOptions.end());
    const support::Arguments parsed = support::parseArguments(arguments, all, "a video path");
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
    if (const auto from = parsed.value("--from"))
        options.stretch.from = support::timeValue("--from", *from);
    if (const auto to = parsed.value("--to")) {
        options.stretch.to = support::timeValue("--to", *to);
        if (*options.stretch.to <= options.stretch.from)
            throw support::UsageError("--to " + *to + " is not after --from " +
                                      parsed.value("--from").value_or("0"));
    }
    options.jobValues = parseJobOptions(parsed);
    options.fit = parsed.has("--fit");
    if (const auto aspect = parsed.value("--aspect")) {
        if (*aspect != "keep" && *aspect != "stretch")
            throw support::UsageError("--aspect " + *aspect + ": say keep or stretch");
        options.keepAspect = *aspect == "keep";
    }
    if (const auto mode = parsed.value("--deinterlace")) {
        if (*mode == "on") {
            options.deinterlace = capture::Deinterlace::On;
        } else if (*mode == "off") {
            options.deinterlace = capture::Deinterlace::Off;
        } else if (*mode != "auto") {
            throw support::UsageError("--deinterlace " + *mode + ": say auto, on or off");
        }
    }
    if (const auto threads = parsed.value("--threads")) {
        options.threads =
            static_cast<int>(support::wholeNumber("--threads", *threads, 0, kMaxThreads));
    }

    std::string commandLine;
    for (const auto& word : parsed.operands())
        commandLine += (commandLine.empty() ? "" : " ") + word;
    options.FileName = fileNameFromCommandLine(commandLine);
    if (options.FileName.empty()) throw support::UsageError("no video file given");
    return options;
}

std::string usageText() {
    return R"(Usage: kelvonar [OPTIONS] [--] VIDEO

Converts VIDEO into animation data for a 96 x 64 calculator screen: ten frames a second, each
written as the smallest key or difference frame record, into my.z80 as " .db" data lines.
Pictures are shown as players show them: turned upright (or flipped) as the video's display
matrix says, then stretched to the job's size (or, with --aspect keep, fitted whole).
The job settings come from thisjob.ini, written by prelmat: in the program's directory when it
runs from the folder it was built into, otherwise (installed, or copied elsewhere) in
$XDG_CONFIG_HOME/kelvonar/ (~/.config/kelvonar/ by default). my.z80 goes to the program's
directory in the first case and to the current directory in the second. When that thisjob.ini
does not exist, the job maker's defaults apply (a file named by --job must exist). The job value
options below replace single values of the job file.

Options:
)" + support::programOptionHelp(kOptions, "the video path") +
           R"(
Job values (each replaces its line of the job file):
)" + support::optionHelp(kJobOptions) +
           R"(
The video path is the remaining arguments joined by single blanks; when it starts with a double
quote, its first and last characters are dropped.
Ctrl-C (or SIGTERM) stops after the frame in progress and saves what was converted (status 130).
Exit status: 0 done, 1 a file could not be read or written, 2 a usage error or no display for
the window, 130 cancelled.
)";
}

}  // namespace conversion
