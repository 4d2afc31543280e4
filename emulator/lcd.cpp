#include "lcd.hpp"

#include <algorithm>

namespace emulator {

Lcd::Lcd(std::uint64_t gap)
    : m_memory(static_cast<std::size_t>(kMemoryWidth) * kHeight, 0), m_gap(gap) {}

void Lcd::access(std::uint64_t now) {
    if (m_accessed) {
        m_smallestGap = std::min(m_smallestGap, now - m_lastAccess);
        if (now - m_lastAccess < m_gap) {
            if (m_gapViolations == 0) m_firstViolationAt = now;
            ++m_gapViolations;
        }
    }
    m_accessed = true;
    m_lastAccess = now;
}

void Lcd::writeCommand(std::uint8_t value, std::uint64_t now) {
    access(now);
    if (value >= 0xC0) {
        m_contrast = value & 0x3F;
    } else if (value >= 0x80) {
        m_row = value & 0x3F;
    } else if (value >= 0x40) {
        m_z = value & 0x3F;
    } else if (value >= 0x20) {
        // Columns past the last one of the word size wrap like the cursor does.
        m_column = (value & 0x1F) % columns();
    } else {
        // Commands 0 to 7, in pairs: word size 6 or 8 bits, display off or on, then the four
        // directions the cursor steps in. The rest (test modes, op-amp settings) change nothing
        // seen here.
        static constexpr Step kSteps[] = {Step::RowUp, Step::RowDown, Step::ColumnLeft,
                                          Step::ColumnRight};
        if (value < 0x02) {
            m_eightBit = value == 0x01;
        } else if (value < 0x04) {
            m_displayOn = value == 0x03;
        } else if (value < 0x08) {
            m_step = kSteps[value - 0x04];
        }
        m_column %= columns();
    }
}

std::uint8_t Lcd::readStatus(std::uint64_t now) const {
    std::uint8_t status = 0;
    if (m_accessed && now - m_lastAccess < m_gap) status |= 0x80;
    if (m_eightBit) status |= 0x40;
    if (m_displayOn) status |= 0x20;
    if (m_step == Step::ColumnLeft || m_step == Step::ColumnRight) status |= 0x02;
    if (m_step == Step::RowDown || m_step == Step::ColumnRight) status |= 0x01;
    return status;
}

std::uint8_t Lcd::wordAtCursor() const {
    const int bits = wordBits();
    const std::size_t first =
        static_cast<std::size_t>(m_row) * kMemoryWidth + static_cast<std::size_t>(m_column * bits);
    std::uint8_t word = 0;
    for (int i = 0; i < bits; ++i)
        word = static_cast<std::uint8_t>(word << 1 | m_memory[first + static_cast<std::size_t>(i)]);
    return word;
}

void Lcd::writeData(std::uint8_t value, std::uint64_t now) {
    access(now);
    const int bits = wordBits();
    const std::size_t first =
        static_cast<std::size_t>(m_row) * kMemoryWidth + static_cast<std::size_t>(m_column * bits);
    for (int i = 0; i < bits; ++i)
        m_memory[first + static_cast<std::size_t>(i)] = (value >> (bits - 1 - i)) & 1U;
    advance();
}

std::uint8_t Lcd::readData(std::uint64_t now) {
    access(now);
    const std::uint8_t word = m_latch;
    m_latch = wordAtCursor();
    advance();
    return word;
}

void Lcd::advance() {
    switch (m_step) {
        case Step::RowDown:
            m_row = (m_row + 1) % kHeight;
            break;
        case Step::RowUp:
            m_row = (m_row + kHeight - 1) % kHeight;
            break;
        case Step::ColumnRight:
            m_column = (m_column + 1) % columns();
            break;
        case Step::ColumnLeft:
            m_column = (m_column + columns() - 1) % columns();
            break;
    }
}

TIFunctions::BitString Lcd::picture() const {
    auto bits = TIFunctions::BitString::filled(static_cast<std::size_t>(kWidth) * kHeight, false);
    if (!m_displayOn) return bits;
    for (int y = 0; y < kHeight; ++y) {
        const int row = (y + m_z) % kHeight;
        for (int x = 0; x < kWidth; ++x) {
            if (pixel(x, row)) bits.setBit(static_cast<std::size_t>(y * kWidth + x), true);
        }
    }
    return bits;
}

void Lcd::clear() {
    std::fill(m_memory.begin(), m_memory.end(), std::uint8_t{0});
}

bool Lcd::pixel(int x, int y) const {
    return m_memory[static_cast<std::size_t>(y) * kMemoryWidth + static_cast<std::size_t>(x)] != 0;
}

}  // namespace emulator
