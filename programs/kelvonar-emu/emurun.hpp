#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "arguments.hpp"
#include "machine.hpp"

namespace emulator {

// T-states a frame may take from the start of its fetch to the end of its LCD copy.
inline constexpr std::uint64_t kFrameBudget = 450'000;

// What kelvonar-emu's command line asks for.
struct EmuOptions {
    std::vector<std::string> files;    // one data file (my.z80), or the calculator files to load
    std::optional<std::string> model;  // --model; default: what the files are for
    std::string programPath;  // --player: the program's bytes, first byte at kProgramStart; empty:
                              // the player built into the program
    std::string symbolsPath;  // --symbols: its labels; empty: those of the built-in player
    std::optional<std::string> framesFolder;  // --frames: the LCD at each frame_shown, as PBM
    std::optional<std::string> checkFolder;   // --check: the converter's canvases
    bool lossy = false;                       // --lossy: frames may differ except every tenth
    std::optional<std::string> gifPath;       // --gif: the LCD at its real timing
    std::optional<std::string> cyclesPath;    // --cycles: CSV of the T-states per frame
    std::optional<std::string> plotPath;      // --plot: PNG of the T-states per frame
    std::optional<double> timerHz;            // --hz; default: the model's slowest rate
    std::optional<std::size_t> pressClearAt;  // --press-clear-at: frame at which [CLEAR] goes down
    std::optional<std::string> holdKey;       // --hold-key: a key held down for the whole run
    std::optional<std::uint64_t> lcdGap;      // --lcd-gap: T-states at 6 MHz of real time
    std::optional<std::uint32_t> powerDownTicks;  // --power-down-ticks
    bool help = false;
    bool version = false;
};

// Parses the arguments after the program name. Throws support::UsageError.
EmuOptions parseEmuArguments(const std::vector<std::string>& arguments);

// The text of --help.
std::string emuUsage();

// Loads the calculator files of options (or packs its my.z80 as kelvonar-pack would) as the
// calculator holds them and starts their program as the model's OS does; writes the outputs asked
// for and prints the summary to out, faults and failed checks to err. Returns support::kExitDone
// when the player ran to its end, showed every frame, kept the LCD's gap, restored the OS state and
// passed the check; support::kExitFailed otherwise. Throws the errors of reading and writing files.
int runEmu(const EmuOptions& options, std::ostream& out, std::ostream& err);

// The plot of --plot: T-states used by each frame against the budget line, as a PNG file.
// Throws support::FileError.
void writeCyclePlot(const std::string& path, const std::vector<FrameTiming>& frames);

}  // namespace emulator
