#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "animation.hpp"
#include "arguments.hpp"

namespace player {

// What kelvonar-play's command line asks for.
struct PlayerOptions {
    std::string file;  // the data file, my.z80
    ScreenSize size;   // --width, --height
    int scale = 4;     // --scale: picture pixels per screen pixel, in both directions
    bool help = false;
    bool version = false;
    bool info = false;                        // --info: the table of records
    std::optional<std::string> gifPath;       // --gif
    std::optional<std::string> mp4Path;       // --mp4
    std::optional<std::string> framesFolder;  // --frames: one PNG per frame
    std::optional<std::string> checkFolder;   // --check: the converter's canvases
    bool lossy = false;                       // --lossy: frames may differ except every tenth
    std::optional<std::string> bytesPath;     // --dump-bytes: the bytes read, as binary
    std::size_t start = 0;                    // --start: the window's first frame
    std::optional<std::string> grabPath;  // --grab (not in the usage): window picture, then quit

    // Whether an option asks for output, so that no window opens.
    bool wantsOutput() const noexcept {
        return info || gifPath || mp4Path || framesFolder || checkFolder || bytesPath;
    }
};

// Parses the arguments after the program name. Options go anywhere, as "--name value" or
// "--name=value"; "--" ends them. Throws support::UsageError for an unknown or repeated option, a
// missing or invalid value, options that do not go together, or not exactly one data file.
PlayerOptions parsePlayerArguments(const std::vector<std::string>& arguments);

// The text of --help.
std::string playerUsage();

}  // namespace player
