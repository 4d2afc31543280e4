#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bitstring.hpp"

namespace emulator {

// The display driver of the 83 Plus: 120 x 64 pixels of memory behind two ports, of which the
// screen shows the 96 leftmost columns, starting at the row set by the Z address. Times are
// T-states of the CPU.
class Lcd {
  public:
    static constexpr int kMemoryWidth = 120;
    static constexpr int kWidth = 96;
    static constexpr int kHeight = 64;
    // Shortest gap the driver needs between two accesses: 10 microseconds at 6 MHz.
    static constexpr std::uint64_t kAccessGap = 60;

    // A driver after the OS start-up: 8-bit words, row auto-increment, display on, all light.
    Lcd();

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

    // Accesses (command writes, data reads and writes) closer than kAccessGap to the one before.
    std::size_t gapViolations() const noexcept { return m_gapViolations; }
    // T-state of the first access that broke the gap; meaningful when gapViolations() > 0.
    std::uint64_t firstViolationAt() const noexcept { return m_firstViolationAt; }

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
    bool m_accessed = false;
    std::uint64_t m_lastAccess = 0;
    std::size_t m_gapViolations = 0;
    std::uint64_t m_firstViolationAt = 0;
};

}  // namespace emulator
