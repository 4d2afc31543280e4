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

ConverterOptions parseCommandLine(const std::vector<std::string>& arguments) {
    static constexpr support::Option kOptions[] = {
        {"--headless", false}, {"--verbose", false},    {"--job", true},
        {"--output", true},    {"--screenshot", true},  {"--dump-canvases", true},
        {"--seed", true},      {"--from", true},        {"--to", true},
        {"--aspect", true},    {"--deinterlace", true}, {"--threads", true}};
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
    options.jobValues = ParseJobOptions(parsed);
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
  --headless            convert without a window; progress and a summary go to stderr
                        (the window needs a display; without one, use --headless)
  --job PATH            read the job settings from PATH instead of thisjob.ini
  --output PATH         write the data lines to PATH instead of my.z80
  --seed N              seed the dither generator with N, so that a run can be repeated
  --from TIME           convert from TIME on: frame k is the picture at TIME + k / 10 s; the
                        video is entered by seeking, not decoded from its start. TIME is
                        seconds (95.5) or [[h:]m:]s[.f] (1:35.5); past the end: a usage error
  --to TIME             end before TIME (or at the end of the video); after --from
  --aspect stretch|keep stretch the picture over the job's size (the default), or keep its
                        shape: scaled whole and centred, the rest in the background colour
  --deinterlace auto|on|off
                        deinterlace the frames the video marks interlaced (auto, the
                        default), every frame, or none; interlaced frames otherwise show
                        comb teeth on alternate rows where things move
  --threads N           decode the video on N threads (1 to 16); 0, the default, lets the
                        decoder use every core. The output is the same for every N, but
                        a damaged video (errors the decoder hides) repeats exactly only
                        with --threads 1
  --dump-canvases DIR   write every canvas, before the search, as DIR/NNNNNNNN.pbm, and the
                        job's quality and interlace as DIR/canvases.ini, by which
                        kelvonar-play --check judges
  --verbose             print the job values as they are read, and where each came from
                        (an option, the job file, or the default), and how the video's
                        display matrix turns its pictures upright
  --screenshot PNG      save a picture of the window when the conversion ends
  --help                show this text

Job values (each replaces its line of the job file):
  --budget BYTES        the memory the data may fill ([device] freemem), 0 to 4294967295
  --quality N           0 (every changed pixel shown) to 8 (bytes with fewer than 8 changed
                        pixels keep the old screen) ([media] quality)
  --dither MODE         none, linear, natural or weighted ([media] dithermode)
  --brightness N        the dark / light threshold, 0 to 255 ([media] brightness)
  --contrast N          half the width of the dither band, 0 to 128 ([media] contrast)
  --video-size WxH      the picture's size on the player, 1 to 4096 a side ([media] width,
                        height)
  --canvas-size WxH     the calculator screen, a whole number of bytes: 96x64 ([device] width,
                        height)
  --background COLOUR   black or white, around the picture ([media] bgwhite)
  --interlace, --no-interlace
                        try interlaced frames or not ([media] interlace)
  --preview, --no-preview
                        show the calculator's screen in the window or not ([media] preview)
  --fit                 choose the least lossy quality and interlacing with which the whole
                        video (or stretch) fits the budget, and print them as options that
                        repeat the run; the settings are tried in this order, from the least
                        loss: --quality 0 --no-interlace (every frame as it is), --quality 0
                        --interlace (half the rows may show the frame before, for a tenth of a
                        second), then --quality 1 to 8 with --interlace (bytes with fewer than
                        N changed pixels keep the old screen, up to a second); when even the
                        last does not fit, nothing is written (status 1) and the message says
                        how much of the video fits and the --to that converts it
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
