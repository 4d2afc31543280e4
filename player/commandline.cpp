#include "commandline.hpp"

#include <charconv>
#include <cstdlib>
#include <set>

namespace player {

namespace {

constexpr int kMaxScreenSide = 1024;
constexpr int kMaxScale = 32;
constexpr int kMaxPictureSide = 8192;

long long wholeNumber(const std::string& name, const std::string& text, long long low,
                      long long high) {
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low ||
        value > high) {
        throw UsageError(name + " needs a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not \"" + text + "\"");
    }
    return value;
}

}  // namespace

PlayerOptions parsePlayerArguments(const std::vector<std::string>& arguments) {
    PlayerOptions options;
    std::vector<std::string> files;
    std::set<std::string> seen;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            files.push_back(argument);
            continue;
        }
        std::string name = argument;
        std::optional<std::string> inlineValue;
        if (const auto equals = argument.find('=');
            argument.rfind("--", 0) == 0 && equals != std::string::npos) {
            name = argument.substr(0, equals);
            inlineValue = argument.substr(equals + 1);
        }
        if (name == "--") {
            optionsEnded = true;
            continue;
        }
        if (name == "-h") name = "--help";
        if (!seen.insert(name).second) throw UsageError("option " + name + " is given twice");
        auto value = [&]() -> std::string {
            if (inlineValue) return *inlineValue;
            if (i + 1 >= arguments.size()) throw UsageError("option " + name + " needs a value");
            return arguments[++i];
        };
        auto path = [&]() {
            std::string text = value();
            if (text.empty()) throw UsageError("option " + name + " needs a path, not \"\"");
            return text;
        };
        if (inlineValue &&
            (name == "--help" || name == "--version" || name == "--info" || name == "--lossy")) {
            throw UsageError("option " + name + " takes no value");
        }
        if (name == "--help") {
            options.help = true;
        } else if (name == "--version") {
            options.version = true;
        } else if (name == "--info") {
            options.info = true;
        } else if (name == "--lossy") {
            options.lossy = true;
        } else if (name == "--width") {
            options.size.width = static_cast<int>(wholeNumber(name, value(), 1, kMaxScreenSide));
        } else if (name == "--height") {
            options.size.height = static_cast<int>(wholeNumber(name, value(), 1, kMaxScreenSide));
        } else if (name == "--scale") {
            options.scale = static_cast<int>(wholeNumber(name, value(), 1, kMaxScale));
        } else if (name == "--start") {
            options.start = static_cast<std::size_t>(wholeNumber(name, value(), 0, 99999999));
        } else if (name == "--gif") {
            options.gifPath = path();
        } else if (name == "--mp4") {
            options.mp4Path = path();
        } else if (name == "--frames") {
            options.framesFolder = path();
        } else if (name == "--check") {
            options.checkFolder = path();
        } else if (name == "--dump-bytes") {
            options.bytesPath = path();
        } else if (name == "--grab") {
            options.grabPath = path();
        } else {
            throw UsageError("unknown option " + argument +
                             " (a file name that begins with \"-\" goes after \"--\")");
        }
    }
    if (options.help || options.version) return options;

    if (files.empty()) throw UsageError("no data file given");
    if (files.size() > 1) {
        throw UsageError("one data file at a time, not \"" + files[0] + "\" and \"" + files[1] +
                         "\"");
    }
    options.file = files.front();
    if (options.lossy && !options.checkFolder) throw UsageError("--lossy goes with --check");
    if (options.wantsOutput() && (seen.count("--start") != 0 || options.grabPath)) {
        throw UsageError(
            "--start and --grab are for the window, which does not open with --info, "
            "--gif, --mp4, --frames, --check or --dump-bytes");
    }
    const long long pictureWidth = static_cast<long long>(options.size.width) * options.scale;
    const long long pictureHeight = static_cast<long long>(options.size.height) * options.scale;
    if (pictureWidth > kMaxPictureSide || pictureHeight > kMaxPictureSide) {
        throw UsageError("the pictures would be " + std::to_string(pictureWidth) + " x " +
                         std::to_string(pictureHeight) + " pixels; at most " +
                         std::to_string(kMaxPictureSide) + " on a side (see --scale)");
    }
    return options;
}

std::string playerUsage() {
    return R"(Usage: kelvonar-play [OPTIONS] [--] FILE

Reads FILE, the " .db" data lines kelvonar writes (my.z80), decodes its frame records and plays
them in a window at ten frames a second, or prints, checks or exports them. The file is read
strictly: a line that is not " .db" and one to eight " %bbbbbbbb" items separated by "," is an
error that names its line and column.

Options:
  --width N           width of the calculator screen in pixels (default 96)
  --height N          height of the calculator screen in pixels (default 64)
  --info              print a table of the records and the frame counts per code type
  --gif FILE          write the animation as an animated GIF, ten frames a second
  --mp4 FILE          write the animation as an MP4 video, ten frames a second
  --frames DIR        write every frame as DIR/NNNNNNNN.png, numbered from 00000000
  --scale N           show and export every screen pixel as N x N pixels (default 4)
  --check DIR         compare every frame with the canvas kelvonar --dump-canvases wrote as
                      DIR/NNNNNNNN.pbm; reports the first frame that differs
  --lossy             with --check: the job used Quality or interlacing, so frames may differ
                      from their canvases, except every tenth frame
  --dump-bytes FILE   write the bytes read from the data lines to FILE, as they are
  --start N           start the window at frame N
  --help              show this text
  --version           show the version
  --                  end of options: what follows is the data file

Without --info, --gif, --mp4, --frames, --check or --dump-bytes the window opens; it needs a
display. In the window: Space plays and pauses, Left and Right step one frame back and forward,
Home and End go to the first and the last frame.
Exit status: 0 done, 1 a file could not be read, decoded or written, no display for the window,
or --check found a difference; 2 a usage error.
)";
}

bool displayAvailable() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

}  // namespace player
