#include "commandline.hpp"

#include <cstdint>

#include "canvascheck.hpp"

namespace player {

namespace {

constexpr int kMaxScreenSide = 1024;
constexpr int kMaxScale = 32;
constexpr int kMaxPictureSide = 8192;

constexpr support::Option kOptions[] = {
    {"--width", "N", "width of the calculator screen in pixels (default 96)"},
    {"--height", "N", "height of the calculator screen in pixels (default 64)"},
    {"--info", {}, "print a table of the records and the frame counts per code type"},
    {"--gif", "FILE", "write the animation as an animated GIF, ten frames a second"},
    {"--mp4", "FILE", "write the animation as an MP4 video, ten frames a second"},
    {"--frames", "DIR", "write every frame as DIR/NNNNNNNN.png, numbered from 00000000"},
    {"--scale", "N", "show and export every screen pixel as N x N pixels (default 4)"},
    kCheckOption,
    kLossyOption,
    {"--dump-bytes", "FILE", "write the bytes read from the data lines to FILE, as they are"},
    {"--start", "N", "start the window at frame N"},
    {.name = "--grab",
     .valueName = "PNG",
     .description = "save a picture of the window once it is painted, then quit",
     .listed = false}};

}  // namespace

PlayerOptions parsePlayerArguments(const std::vector<std::string>& arguments) {
    const support::Arguments parsed = support::parseArguments(arguments, kOptions, "a file name");
    const auto number = [&](const char* name, std::uint64_t low, std::uint64_t high,
                            std::uint64_t fallback) {
        const auto text = parsed.value(name);
        return text ? support::wholeNumber(name, *text, low, high) : fallback;
    };
    PlayerOptions options;
    options.help = parsed.help();
    options.version = parsed.version();
    options.info = parsed.has("--info");
    options.size.width = static_cast<int>(number("--width", 1, kMaxScreenSide, options.size.width));
    options.size.height =
        static_cast<int>(number("--height", 1, kMaxScreenSide, options.size.height));
    options.scale = static_cast<int>(number("--scale", 1, kMaxScale, options.scale));
    options.start = static_cast<std::size_t>(number("--start", 0, 99999999, 0));
    options.gifPath = parsed.value("--gif");
    options.mp4Path = parsed.value("--mp4");
    options.framesFolder = parsed.value("--frames");
    options.bytesPath = parsed.value("--dump-bytes");
    options.grabPath = parsed.value("--grab");
    if (options.help || options.version) return options;
    const CheckRequest check = checkRequest(parsed);
    options.checkFolder = check.folder;
    options.lossy = check.lossy;

    const std::vector<std::string>& files = parsed.operands();
    if (files.empty()) throw support::UsageError("no data file given");
    if (files.size() > 1) {
        throw support::UsageError("one data file at a time, not \"" + files[0] + "\" and \"" +
                                  files[1] + "\"");
    }
    options.file = files.front();
    if (options.wantsOutput() && (parsed.has("--start") || options.grabPath)) {
        throw support::UsageError(
            "--start and --grab are for the window, which does not open with --info, "
            "--gif, --mp4, --frames, --check or --dump-bytes");
    }
    const long long pictureWidth = static_cast<long long>(options.size.width) * options.scale;
    const long long pictureHeight = static_cast<long long>(options.size.height) * options.scale;
    if (pictureWidth > kMaxPictureSide || pictureHeight > kMaxPictureSide) {
        throw support::UsageError("the pictures would be " + std::to_string(pictureWidth) + " x " +
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
)" + support::programOptionHelp(kOptions, "the data file") +
           R"(
Limits: the screen is at most 1024 x 1024 pixels and a picture at most 8192 on a side; FILE is
at most 4 GiB and a canvas file at most 64 MiB. The records are decoded one at a time, so memory
stays near the size of the bytes FILE holds, whatever the number of records.

Without --info, --gif, --mp4, --frames, --check or --dump-bytes the window opens; it needs a
display. In the window: Space plays and pauses, Left and Right step one frame back and forward,
Home and End go to the first and the last frame.
Exit status: 0 done, 1 a file could not be read, decoded or written, or --check found a
difference; 2 a usage error or no display for the window.
)";
}

}  // namespace player
