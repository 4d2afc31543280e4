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

namespace playertest {

// One run of the player.
struct PlayerRun {
    emulator::RunResult result;
    std::vector<TIFunctions::BitString> shown;  // the LCD at each frame_shown
    std::vector<emulator::FrameTiming> frames;
    emulator::ExitCheck exit;
    std::size_t gapViolations = 0;
    std::uint64_t clearPressedAt = 0;  // T-state at which [CLEAR] went down, if it did
    bool pastScreenIntact = false;     // the bytes after the screen buffer kept their values
};

// Options of a run.
struct RunOptions {
    double timerHz = emulator::kTimerRates[3];
    std::optional<std::size_t> clearAtFrame;  // press [CLEAR] as this frame begins
    std::size_t frames = 0;                   // at most this many frames; 0: one per two bytes
    bool archived = false;                    // the records' AppVar lies in the archive
};

// Record bytes the AppVar the player reads from RAM can hold.
std::size_t dataCapacity();

// Runs the player, as Asm( starts it, on records in an AppVar until it returns or faults.
PlayerRun runPlayer(std::span<const std::uint8_t> records, const RunOptions& options = {});

}  // namespace playertest
