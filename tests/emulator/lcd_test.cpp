#include "lcd.hpp"

#include <gtest/gtest.h>

namespace {

using emulator::Lcd;

// Writes commands and data far enough apart to keep the driver's gap.
class Driver {
  public:
    explicit Driver(Lcd& lcd) : m_lcd(lcd) {}
    Driver& command(std::uint8_t value) {
        m_lcd.writeCommand(value, tick());
        return *this;
    }
    Driver& data(std::uint8_t value) {
        m_lcd.writeData(value, tick());
        return *this;
    }
    std::uint8_t read() { return m_lcd.readData(tick()); }

  private:
    std::uint64_t tick() { return m_now += Lcd::kAccessGap; }
    Lcd& m_lcd;
    std::uint64_t m_now = 0;
};

bool shown(const Lcd& lcd, int x, int y) {
    return lcd.picture().bit(static_cast<std::size_t>(y * Lcd::kWidth + x));
}

TEST(Lcd, EightBitColumnWithRowIncrementFillsDownwards) {
    Lcd lcd;
    Driver driver(lcd);
    driver.command(0x20 + 11).command(0x80);
    for (int row = 0; row < 64; ++row)
        driver.data(row % 2 == 0 ? 0x81 : 0x00);
    EXPECT_TRUE(shown(lcd, 88, 0));
    EXPECT_TRUE(shown(lcd, 95, 0));
    EXPECT_FALSE(shown(lcd, 89, 0));
    EXPECT_FALSE(shown(lcd, 88, 1));
    EXPECT_TRUE(shown(lcd, 88, 62));
    EXPECT_EQ(lcd.row(), 0);  // 64 writes wrapped the row back to the top
    EXPECT_EQ(lcd.picture().bytes()[0], 0);
}

TEST(Lcd, SixBitWordsAreSixPixelsWide) {
    Lcd lcd;
    Driver driver(lcd);
    driver.command(0x00).command(0x07).command(0x21).command(0x85).data(0x3F).data(0x21);
    for (int x = 0; x < 24; ++x)
        EXPECT_EQ(shown(lcd, x, 5), (x >= 6 && x < 12) || x == 12 || x == 17) << "x " << x;
    EXPECT_EQ(lcd.column(), 3);
}

TEST(Lcd, ColumnIncrementWrapsAfterTheLastColumnOfTheMemory) {
    Lcd lcd;
    Driver driver(lcd);
    driver.command(0x07).command(0x20 + 14).command(0x80).data(0xFF).data(0xF0);
    EXPECT_EQ(lcd.column(), 1);
    EXPECT_TRUE(lcd.pixel(112, 0));  // off screen, but in the memory
    EXPECT_TRUE(shown(lcd, 0, 0));
    EXPECT_FALSE(shown(lcd, 4, 0));
    driver.command(0x06).command(0x20).data(0x00).data(0x00);
    EXPECT_EQ(lcd.column(), 13);
    EXPECT_FALSE(shown(lcd, 0, 0));
}

TEST(Lcd, RowDecrementWrapsToTheBottom) {
    Lcd lcd;
    Driver driver(lcd);
    driver.command(0x04).command(0x20).command(0x80).data(0x80).data(0x80);
    EXPECT_TRUE(shown(lcd, 0, 0));
    EXPECT_TRUE(shown(lcd, 0, 63));
    EXPECT_EQ(lcd.row(), 62);
}

TEST(Lcd, ZAddressScrollsThePicture) {
    Lcd lcd;
    Driver driver(lcd);
    driver.command(0x20).command(0x80 + 10).data(0x80).command(0x40 + 10);
    EXPECT_TRUE(shown(lcd, 0, 0));
    EXPECT_FALSE(shown(lcd, 0, 10));
    driver.command(0x40 + 11);
    EXPECT_TRUE(shown(lcd, 0, 63));  // memory row 10 wraps to the bottom
}

TEST(Lcd, FirstReadAfterSettingTheCursorIsADummy) {
    Lcd lcd;
    Driver driver(lcd);
    driver.command(0x20 + 2).command(0x80 + 3).data(0x5A).data(0xC3);
    driver.command(0x20 + 2).command(0x80 + 3);
    driver.read();
    EXPECT_EQ(driver.read(), 0x5A);
    EXPECT_EQ(driver.read(), 0xC3);
}

TEST(Lcd, DisplayOffShowsNothing) {
    Lcd lcd;
    Driver driver(lcd);
    driver.command(0x20).command(0x80).data(0xFF).command(0x02);
    EXPECT_FALSE(shown(lcd, 0, 0));
    driver.command(0x03);
    EXPECT_TRUE(shown(lcd, 0, 0));
}

struct GapCase {
    std::uint64_t rule;  // the gap the driver needs
    std::uint64_t gap;   // between the accesses
    std::size_t violations;
    bool busy;  // the status read just before the second access
};

class LcdGap : public testing::TestWithParam<GapCase> {};

TEST_P(LcdGap, CountsAccessesCloserThanTheDriverAllows) {
    const GapCase& c = GetParam();
    Lcd lcd(c.rule);
    const std::uint64_t start = 1000;
    EXPECT_EQ(lcd.smallestGap(), UINT64_MAX);
    lcd.writeCommand(0x80, start);
    EXPECT_EQ(lcd.readStatus(start + c.gap - 1) >> 7, c.busy ? 1 : 0);
    lcd.writeData(0xFF, start + c.gap);
    lcd.readData(start + 3 * c.gap);
    EXPECT_EQ(lcd.gapViolations(), c.violations);
    EXPECT_EQ(lcd.smallestGap(), c.gap);
    if (c.violations > 0) {
        EXPECT_EQ(lcd.firstViolationAt(), start + c.gap);
    }
}

INSTANTIATE_TEST_SUITE_P(Gaps, LcdGap,
                         testing::Values(GapCase{60, 60, 0, true}, GapCase{60, 61, 0, false},
                                         GapCase{60, 59, 1, true}, GapCase{60, 1, 2, true},
                                         GapCase{Lcd::kAccessGap, 349, 1, true},
                                         GapCase{Lcd::kAccessGap, 350, 0, true}));

}  // namespace
