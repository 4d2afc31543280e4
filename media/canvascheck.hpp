#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "animation.hpp"
#include "arguments.hpp"
#include "bitstring.hpp"
#include "fileerror.hpp"

namespace player {

// The options that ask a program to check its frames against the converter's canvases.
inline constexpr support::Option kCheckOption{
    "--check", "DIR",
    "compare every frame with the canvas kelvonar --dump-canvases wrote as DIR/NNNNNNNN.pbm, by "
    "the rule of the job DIR/canvases.ini records: with Quality or interlacing only every tenth "
    "frame must be equal, otherwise every frame; one line when it passes, a few example frames "
    "when not"};
inline constexpr support::Option kLossyOption{
    "--lossy",
    {},
    "with --check: judge as if the job used Quality or interlacing (for a folder without "
    "canvases.ini)"};

// The check a command line asks for.
struct CheckRequest {
    std::optional<std::string> folder;  // --check: the converter's canvases
    bool lossy = false;                 // --lossy: frames may differ except every tenth
};

// The check of kCheckOption and kLossyOption in parsed. Throws support::UsageError for --lossy
// without --check.
CheckRequest checkRequest(const support::Arguments& parsed);

// A black-and-white picture: 1 dark, 0 light, rows from the top.
struct Canvas {
    int width = 0;
    int height = 0;
    TIFunctions::BitString bits;  // width x height bits
};

// The picture of a PBM file, binary (P4) or plain (P1). path only names it in errors. Throws
// support::FileError.
Canvas parsePbm(std::string_view data, const std::string& path);
// parsePbm of the file at path. Throws support::FileError.
Canvas readPbm(const std::string& path);
// Writes canvas as a binary PBM file (P4): width x height, a "1" bit is a dark pixel, each row
// padded to whole bytes. Throws support::FileError.
void savePbm(const TIFunctions::BitString& canvas, std::size_t width, std::size_t height,
             const std::string& path);

// A frame whose screen differs from its canvas.
struct FrameDifference {
    std::size_t frame = 0;
    std::size_t pixels = 0;  // differing pixels
    int firstX = 0;          // the first differing pixel, from the top left corner
    int firstY = 0;
};

// The outcome of comparing the decoded frames with the canvases of a conversion.
struct CheckReport {
    std::string folder;
    std::size_t records = 0;   // frames in the data file
    std::size_t canvases = 0;  // canvas files in the folder
    std::size_t compared = 0;  // frames compared: the smaller of the two counts
    std::size_t pixelsPerFrame = 0;
    std::vector<FrameDifference> differences;  // in frame order

    // Whether the counts agree and no frame differs; with lossy, frames may differ except every
    // tenth one (frames 0, 10, 20, ...), which a conversion always writes exactly.
    bool passed(bool lossy) const;
};

// Compares screens, given one at a time in frame order, with the canvases of a folder.
class CanvasCheck {
  public:
    // A check of frames screens of the given size against folder/NNNNNNNN.pbm (the frame number in
    // 8 digits), as written by the converter's canvas dump. Throws support::FileError when the
    // folder cannot be listed or a canvas is missing in the numbering.
    CanvasCheck(const std::string& folder, std::size_t frames, ScreenSize size);

    // Compares the next frame's screen with its canvas, when there is one. Throws
    // support::FileError when the canvas cannot be read or has another size than the screen.
    void add(const TIFunctions::BitString& screen);
    // The outcome so far; complete once every frame, or report().compared of them, is added.
    const CheckReport& report() const noexcept { return m_report; }

  private:
    ScreenSize m_size;
    CheckReport m_report;
    std::size_t m_next = 0;
};

// The file the converter writes beside its canvases: the job values the run used.
inline constexpr std::string_view kCanvasJobFile = "canvases.ini";

// Whether the canvases of folder were converted with Quality or interlacing, so that frames may
// differ from them, as folder/canvases.ini says; nothing when the folder has no such file.
// Throws support::FileError when it cannot be read.
std::optional<bool> recordedLossy(const std::string& folder);

// The rule --check judges by: lossy when the option says so, else as the folder records it
// (exact when it records nothing).
bool checkIsLossy(const std::string& folder, bool lossyOption);

// The text --check prints for report: one line when it passes; otherwise the first frame that
// differs, a few examples, the count and the rule that failed.
std::string describeCheck(const CheckReport& report, bool lossy);

}  // namespace player
