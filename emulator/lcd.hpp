#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bitstring.hpp"

namespace emulator {

// Real time counts in units of 1 / kRealTimeHz seconds: a T-state at 6 MHz is 5 of them, one at
// 15 MHz 2, so both clocks count exactly.
inline constexpr std::uint64_t kRealTimeHz = 30'000'000;
inline constexpr std::uint64_t kRealPerSlowTState = 5;
inline constexpr std::uint64_t kRealPerFastTState = 2;

// The display driver of the 83 Plus: 120 x 64 pixels of memory behind two ports, of which the
// screen shows the 96 leftmost columns, starting at the row set by the Z address. Times are real
// time, in units of 1 / kRealTimeHz seconds.
class Lcd {
  public:
    static constexpr int kMemoryWidth = 120;
    static constexpr int kWidth = 96;
    static constexpr int kHeight = 64;
    // Shortest gap the driver needs between two accesses by default: 70 T-states at 6 MHz
    // (11.7 microseconds: 10 guaranteed, and clocks run a little fast).
    static constexpr std::uint64_t kAccessGap = 70 * kRealPerSlowTState;

    // A driver after the OS start-up: 8-bit words, row auto-increment, display on, all light;
    // it needs gap between two accesses.
    explicit Lcd(std::uint64_t gap = kAccessGap);

    // The gap the driver needs between two accesses.
    void setAccessGap(std::uint64_t gap) noexcept { m_gap = gap; }
    std::uint64_t accessGap() const noexcept { return m_gap; }

    // A write to the command port (0x10) at T-state now.
    void writeCommand(std::uint8_t value, std::uint64_t now);
    // A read of the status port (0x10); bit 7 busy, 6 8-bit words, 5 display on, 1 column
    // counter, 0 increment.
    std::uint8_t readStatus(std::uint64_t now) const;
    // A write to the data port (0x11): the word at the cursor, then the cursor moves.
    void writeData(std::uint8_t value, std::uint64_t now);
    // A read of the data port (0x11): the word latched by the previous read (so the first read
    // after setting the cursor returns a stale word), then latches the word at the cursor and
    // moves it.
    std::uint8_t readData(std::uint64_t now);

    // What the screen shows: 96 x 64 bits, row after row from the top, 1 dark; all light while
    // the display is off.
    TIFunctions::BitString picture() const;
    // Every pixel of the memory light, as the OS's screen-clearing routines leave it.
    void clear();

    // Pixel x, y of the memory (not the screen), 1 dark.
    bool pixel(int x, int y) const;

    // Accesses (command writes, data reads and writes) closer than accessGap() to the one before.
    std::size_t gapViolations() const noexcept { return m_gapViolations; }
    // Time of the first access that broke the gap; meaningful when gapViolations() > 0.
    std::uint64_t firstViolationAt() const noexcept { return m_firstViolationAt; }
    // The shortest time seen between two accesses; UINT64_MAX before the second access.
    std::uint64_t smallestGap() const noexcept { return m_smallestGap; }

    bool eightBitWords() const noexcept { return m_eightBit; }
    bool displayOn() const noexcept { return m_displayOn; }
    int row() const noexcept { return m_row; }
    int column() const noexcept { return m_column; }
    int zAddress() const noexcept { return m_z; }
    int contrast() const noexcept { return m_contrast; }

  private:
    // Cursor moves after a data access.
    enum class Step { RowDown, RowUp, ColumnRight, ColumnLeft };

    void access(std::uint64_t now);
    void advance();
    int columns() const noexcept { return m_eightBit ? kMemoryWidth / 8 : kMemoryWidth / 6; }
    int wordBits() const noexcept { return m_eightBit ? 8 : 6; }
    std::uint8_t wordAtCursor() const;

    std::vector<std::uint8_t> m_memory;  // one byte per pixel, kMemoryWidth x kHeight
    bool m_eightBit = true;
    bool m_displayOn = true;
    Step m_step = Step::RowDown;
    int m_row = 0;
    int m_column = 0;
    int m_z = 0;
    int m_contrast = 0x30;
    std::uint8_t m_latch = 0;
    std::uint64_t m_gap;
    std::uint64_t m_smallestGap = UINT64_MAX;
    bool m_accessed = false;
    std::uint64_t m_lastAccess = 0;
    std::size_t m_gapViolations = 0;
    std::uint64_t m_firstViolationAt = 0;
};

}  // namespace emulator
