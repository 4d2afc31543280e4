#pragma once

// Runs the assembled calculator player on a record stream in the emulated 83 Plus and collects
// what the LCD showed at each frame.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "bitstring.hpp"
#include "machine.hpp"

namespace calcrun {

// The OS's flag bytes and key bytes the player must hand back as the OS expects them.
struct OsState {
    std::uint8_t kbdFlags = 0;        // (IY + 0): bit 3, a key's scan code waits
    std::uint8_t graphFlags = 0;      // (IY + 3): bit 0, the graph screen needs a redraw
    std::uint8_t apdFlags = 0;        // (IY + 8): bits 2 and 3, auto power-down counts
    std::uint8_t onFlags = 0;         // (IY + 9): bit 4, [ON] was pressed
    std::uint8_t indicatorFlags = 0;  // (IY + 0x12): bit 0, the run indicator
    std::uint8_t scanCode = 0;        // kbdScanCode, kbdKey, kbdGetKy
    std::uint8_t key = 0;
    std::uint8_t getKey = 0;
};

// One run of the player.
struct ProgramRun {
    emulator::RunResult result;
    std::vector<TIFunctions::BitString> shown;  // the LCD at each frame_shown
    std::vector<emulator::FrameTiming> frames;
    emulator::ExitCheck exit;
    std::size_t gapViolations = 0;
    std::uint64_t clearPressedAt = 0;   // T-state at which [CLEAR] went down, if it did
    std::uint64_t clearReleasedAt = 0;  // and at which it came up again
    bool pastScreenIntact = false;      // the bytes after the screen buffer kept their values
    OsState entry;                      // as the run started
    OsState exitState;                  // as the player returned
    bool apdCountedInPlay = false;      // apdRunning was set at some frame_shown
};

// Options of a run.
struct RunOptions {
    double timerHz = emulator::kTimerRates[3];
    std::optional<std::size_t> clearAtFrame;  // press [CLEAR] as this frame begins, for 0.2 s
    std::size_t frames = 0;                   // at most this many frames; 0: one per two bytes
    bool archived = false;                    // the records' AppVar lies in the archive
    std::vector<std::uint8_t> nextAppVar{};   // archived: another AppVar right after that one
    std::uint8_t apdFlags = 0x0C;             // (IY + 8) at entry: apdAble and apdRunning
    bool indicatorOn = true;                  // (IY + 0x12) bit 0 at entry
};

// Flash page and offset at which the records of an archived AppVar start.
inline constexpr int kArchivedRecordsPage = 1;
std::size_t archivedRecordsOffset();

// Record bytes the AppVar the player reads from RAM can hold.
std::size_t dataCapacity();

// Runs the player, as Asm( starts it, on records in an AppVar until it returns or faults.
ProgramRun runProgram(std::span<const std::uint8_t> records, const RunOptions& options = {});

}  // namespace calcrun
