#pragma once

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "machine.hpp"

namespace emulator {

// T-states a frame may take from the start of its fetch to the end of its LCD copy.
inline constexpr std::uint64_t kFrameBudget = 450'000;

// What kelvonar-emu's command line asks for.
struct EmuOptions {
    std::vector<std::string> files;  // one data file (my.z80), or the calculator files to load
    std::string model = "ti83plus";  // --model
    std::string playerPath;          // --player: the program's bytes, first byte at kProgramStart
    std::string symbolsPath;         // --symbols: its labels
    std::optional<std::string> framesFolder;  // --frames: the LCD at each frame_shown, as PBM
    std::optional<std::string> checkFolder;   // --check: the converter's canvases
    bool lossy = false;                       // --lossy: frames may differ except every tenth
    std::optional<std::string> gifPath;       // --gif: the LCD at its real timing
    std::optional<std::string> cyclesPath;    // --cycles: CSV of the T-states per frame
    std::optional<std::string> plotPath;      // --plot: PNG of the T-states per frame
    double timerHz = kTimerRates[3];          // --hz
    std::optional<std::size_t> pressClearAt;  // --press-clear-at: frame at which [CLEAR] goes down
    bool help = false;
    bool version = false;
};

// Parses the arguments after the program name; the player and its symbols default to the ones
// the build assembled. Throws support::UsageError.
EmuOptions parseEmuArguments(const std::vector<std::string>& arguments);

// The text of --help.
std::string emuUsage();

// Runs the player of options on its data file, or loads the calculator files and starts their
// program as Asm( does; writes the outputs asked for and prints the summary to out, faults and
// failed checks to err. Returns support::kExitDone when the player
// ran to its end, showed every frame, kept the LCD's gap, restored the OS state and passed the
// check; support::kExitFailed otherwise. Throws the errors of reading and writing files.
int runEmu(const EmuOptions& options, std::ostream& out, std::ostream& err);

// The plot of --plot: T-states used by each frame against the budget line, as a PNG file.
// Throws support::FileError.
void writeCyclePlot(const std::string& path, const std::vector<FrameTiming>& frames);

}  // namespace emulator
