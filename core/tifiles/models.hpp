#pragma once

// The calculators a video is made for, one row each: what their files look like, how their OS
// starts a program, the memory a video may take, their timer and CPU speeds, and the player they
// run. The packer, the emulated calculator and kelvonar-emu's command line read this table; a new
// model is a new row here, a start-up file in calculator/ and its tests.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "packer.hpp"
#include "tifile.hpp"

namespace pack {

// How the OS starts an assembly program.
enum class ProgramStart {
    AsmCopy,  // Asm(prgmNAME) copies the program's code to kAsmProgramStart and runs it there
    Send9,    // Send(9prgmNAME) runs the program's hex part, which jumps into its binary part
    Shell,    // a shell the user installed lists the program by its header, moves it so that its
              // description lies at kTi82StartAddress and calls the code after the description
};

// One calculator model.
struct CalculatorModel {
    std::string_view name;   // the --model value
    std::string_view title;  // as users know it
    Family family;           // its files' signature and entry headers (tifile.hpp)
    Model layout;            // the files the packer writes and the player they hold
    ProgramStart start;
    std::size_t ramBudget;          // the converter's budget for a video played from RAM
    std::size_t archiveBytes;       // the user archive's size; 0 when there is none
    int firstArchivePage;           // the flash page the user archive starts at
    int archivePages;               // flash pages of 16 KB the user archive spans
    std::array<double, 4> timerHz;  // the timer rates port 4 selects (bits 1-2), fastest first
    bool crystalTimer;              // the rates are exact; else an RC oscillator's, drifting
    bool speedPort;                 // port 2 bit 7 reads 1 and port 0x20 sets the CPU speed
    double startClockHz;            // the CPU clock when a program starts
};

// Where Asm( runs a program's code on the 83 Plus family.
inline constexpr std::uint16_t kAsmProgramStart = 0x9D95;

// The rows. Sources for every figure are in docs/calculator.md.
inline constexpr CalculatorModel kModels[] = {
    {"ti83plus",
     "TI-83 Plus",
     Family::Ti83Plus,
     Model::Ti83Plus,
     ProgramStart::AsmCopy,
     24'000,
     160 * 1024,
     0x08,
     10,
     {560.0, 248.0, 170.0, 118.0},
     false,
     false,
     6e6},
    {"ti84plus",
     "TI-84 Plus (and the SE models)",
     Family::Ti83Plus,
     Model::Ti83Plus,
     ProgramStart::AsmCopy,
     24'000,
     480 * 1024,
     0x08,
     30,
     {512.0, 227.55, 146.29, 107.79},
     true,
     true,
     15e6},
    {"ti83",
     "TI-83 (ROM 1.x)",
     Family::Ti83,
     Model::Ti83,
     ProgramStart::Send9,
     27'000,
     0,
     0,
     0,
     {6e6 / 12'000, 6e6 / 28'000, 6e6 / 44'000, 6e6 / 62'000},
     false,
     false,
     6e6},
    // The TI-82's timer: the TI-83's circuit, its period proportional to 3 + 2 x (bits 1-2).
    {"ti82",
     "TI-82",
     Family::Ti82,
     Model::Ti82,
     ProgramStart::Shell,
     kTi82Ram,
     0,
     0,
     0,
     {490.0, 490.0 * 3 / 7, 490.0 * 3 / 11, 490.0 * 3 / 15},
     false,
     false,
     6e6},
};

// The row named name, or nullptr.
const CalculatorModel* findModel(std::string_view name) noexcept;

// The first row whose files are of family: the model a file names.
const CalculatorModel& modelOfFamily(Family family) noexcept;

// "ti83plus, ti84plus or ti83": the names, for messages.
std::string modelNames();

// The slowest timer rate of model: the default of an emulated run, the hardest for the tempo.
double slowestTimer(const CalculatorModel& model) noexcept;

}  // namespace pack
