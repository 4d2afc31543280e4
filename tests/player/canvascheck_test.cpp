// Reading the converter's PBM canvases and comparing them with the decoded frames.

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

#include <filesystem>
#include <fstream>
#include <random>

#include "canvascheck.hpp"
#include "tempdir.hpp"
#include "tifunctions.hpp"

namespace fs = std::filesystem;
using TIFunctions::BitString;

namespace {

std::string binaryPbm(int width, int height, const BitString& bits) {
    std::string text = "P4\n" + std::to_string(width) + " " + std::to_string(height) + "\n";
    const int rowBytes = (width + 7) / 8;
    for (int y = 0; y < height; ++y) {
        std::string row(static_cast<std::size_t>(rowBytes), '\0');
        for (int x = 0; x < width; ++x) {
            if (bits.bit(static_cast<std::size_t>(y * width + x)))
                row[static_cast<std::size_t>(x / 8)] |= static_cast<char>(0x80 >> (x % 8));
        }
        text += row;
    }
    return text;
}

BitString noise(std::size_t bits, std::uint32_t seed) {
    std::mt19937 random(seed);
    BitString frame = BitString::filled(bits, false);
    for (std::size_t i = 0; i < bits; ++i)
        frame.setBit(i, random() % 2 == 1);
    return frame;
}

}  // namespace

TEST(Pbm, ReadsBinaryRowsPaddedToWholeBytes) {
    for (const auto& [width, height] : {std::pair{96, 64}, std::pair{10, 3}, std::pair{1, 1}}) {
        const BitString bits = noise(static_cast<std::size_t>(width * height), 3);
        const player::Canvas canvas = player::parsePbm(binaryPbm(width, height, bits), "c.pbm");
        EXPECT_EQ(canvas.width, width);
        EXPECT_EQ(canvas.height, height);
        EXPECT_EQ(canvas.bits, bits) << width << " x " << height;
    }
}

TEST(Pbm, ReadsPlainPicturesWithComments) {
    const player::Canvas canvas =
        player::parsePbm("P1\n# a comment\n3 # another\n2\n1 0 1\n010\n", "c.pbm");
    EXPECT_EQ(canvas.width, 3);
    EXPECT_EQ(canvas.height, 2);
    EXPECT_EQ(canvas.bits.toText(), "101010");
}

namespace {

struct BadPbm {
    const char* name;
    std::string data;
    const char* reason;
};

// Test names and failures show the case by its name.
void PrintTo(const BadPbm& c, std::ostream* os) {
    *os << c.name;
}

class BadPbms : public testing::TestWithParam<BadPbm> {};

}  // namespace

TEST_P(BadPbms, AreRejectedWithTheReason) {
    try {
        player::parsePbm(GetParam().data, "dump/00000004.pbm");
        FAIL() << "accepted";
    } catch (const support::FileError& error) {
        EXPECT_EQ(error.path(), "dump/00000004.pbm");
        EXPECT_NE(error.reason().find(GetParam().reason), std::string::npos) << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pbm, BadPbms,
    testing::Values(BadPbm{"GreyMap", "P5\n2 2\n255\n", "not a PBM picture"},
                    BadPbm{"Empty", "", "not a PBM picture"},
                    BadPbm{"ShortRaster", "P4\n16 2\n\x01\x02\x03", "ends early: 3 of 4 bytes"},
                    BadPbm{"LongRaster", "P4\n8 1\n\x01\x02", "data follows the picture"},
                    BadPbm{"ZeroWidth", "P4\n0 2\n", "the width is 0"},
                    BadPbm{"NoHeight", "P4\n8\n", "no number for the height"},
                    BadPbm{"HugeWidth", "P4\n99999999 1\n", "larger than 65535"},
                    BadPbm{"NoSpaceAfterHeight", "P4\n8 1", "no white space after the height"},
                    BadPbm{"PlainDigitTwo", "P1\n2 1\n1 2\n", "not 0 or 1"},
                    BadPbm{"PlainShort", "P1\n2 2\n1 0 1\n", "ends early: 3 of 4 pixels"}),
    [](const auto& info) { return std::string(info.param.name); });

namespace {

// A folder of canvases and the screens to check against it.
class CanvasCheck : public testing::Test {
  protected:
    void SetUp() override {
        for (std::uint32_t k = 0; k < 11; ++k)
            m_screens.push_back(noise(96 * 64, k));
    }
    void writeCanvas(std::size_t k, const BitString& bits, int width = 96, int height = 64) {
        std::ofstream(m_folder / (TIFunctions::ToDecimal8(k) + ".pbm"), std::ios::binary)
            << binaryPbm(width, height, bits);
    }
    void writeAllCanvases() {
        for (std::size_t k = 0; k < m_screens.size(); ++k)
            writeCanvas(k, m_screens[k]);
    }
    // The check of the screens against the folder, as the programs feed it.
    player::CheckReport check() const { return checkIn(folder()); }
    player::CheckReport checkIn(const std::string& folder) const {
        player::CanvasCheck canvasCheck(folder, m_screens.size(), {96, 64});
        for (const BitString& screen : m_screens)
            canvasCheck.add(screen);
        return canvasCheck.report();
    }
    std::string folder() const { return m_folder.string(); }

    testsupport::TempDir m_dir;
    const fs::path& m_folder = m_dir.path();
    std::vector<BitString> m_screens;
};

}  // namespace

TEST_F(CanvasCheck, PassesWhenEveryFrameEqualsItsCanvas) {
    writeAllCanvases();
    std::ofstream(m_folder / "notes.txt") << "other files are left alone";
    const player::CheckReport report = check();
    EXPECT_EQ(report.compared, 11U);
    EXPECT_TRUE(report.differences.empty());
    EXPECT_TRUE(report.passed(false));
    EXPECT_EQ(player::describeCheck(report, false),
              "all 11 frames compared equal their canvases in " + folder() + "\n");
}

TEST_F(CanvasCheck, ReportsTheFirstDifferingFrameAndPixel) {
    writeAllCanvases();
    for (const auto& [frame, x, y] :
         {std::tuple{3, 5, 7}, std::tuple{3, 90, 60}, std::tuple{7, 0, 0}, std::tuple{7, 1, 0}}) {
        BitString changed = m_screens[static_cast<std::size_t>(frame)];
        const auto at = static_cast<std::size_t>(y * 96 + x);
        changed.setBit(at, !changed.bit(at));
        m_screens[static_cast<std::size_t>(frame)] = changed;
    }
    const player::CheckReport report = check();
    ASSERT_EQ(report.differences.size(), 2U);
    EXPECT_EQ(report.differences[0].frame, 3U);
    EXPECT_EQ(report.differences[0].pixels, 2U);
    EXPECT_EQ(report.differences[0].firstX, 5);
    EXPECT_EQ(report.differences[0].firstY, 7);
    EXPECT_EQ(report.differences[1].frame, 7U);
    EXPECT_EQ(report.differences[1].pixels, 2U);
    EXPECT_EQ(report.differences[1].firstX, 0);
    EXPECT_FALSE(report.passed(false));
    // Frames 3 and 7 may differ when the job used Quality or interlacing.
    EXPECT_TRUE(report.passed(true));

    const std::string text = player::describeCheck(report, false);
    EXPECT_NE(text.find("first difference: frame 3 (" + folder() +
                        "/00000003.pbm): 2 of 6144 pixels differ (0.03%), the first at x 5, y 7\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("  frame 7: 0.03%\n"), std::string::npos) << text;
    EXPECT_NE(text.find("2 of 11 frames differ"), std::string::npos) << text;
}

TEST_F(CanvasCheck, EveryTenthFrameMustBeExactEvenWhenLossy) {
    writeAllCanvases();
    m_screens[10].setBit(0, !m_screens[10].bit(0));
    const player::CheckReport report = check();
    EXPECT_FALSE(report.passed(true));
    EXPECT_NE(player::describeCheck(report, true).find("frame 10 differs"), std::string::npos);
}

// The folder's canvases.ini decides the rule: interlacing or Quality lets frames differ.
TEST_F(CanvasCheck, JudgesByTheJobTheFolderRecords) {
    writeAllCanvases();
    m_screens[3].setBit(0, !m_screens[3].bit(0));
    const player::CheckReport report = check();
    EXPECT_EQ(player::recordedLossy(folder()), std::nullopt);
    EXPECT_FALSE(player::checkIsLossy(folder(), false));
    EXPECT_NE(player::describeCheck(report, false).find("check with --lossy"), std::string::npos);
    for (const auto& [job, lossy] :
         {std::pair{"quality=0\r\ninterlace=1", true}, std::pair{"quality=2\r\ninterlace=0", true},
          std::pair{"quality=0\r\ninterlace=0", false}}) {
        std::ofstream(m_folder / "canvases.ini") << "[media]\r\n" << job << "\r\n";
        EXPECT_EQ(player::recordedLossy(folder()), lossy) << job;
        EXPECT_EQ(player::checkIsLossy(folder(), false), lossy) << job;
    }
    EXPECT_TRUE(player::checkIsLossy(folder(), true));
    // A pass is one line.
    const std::string passed = player::describeCheck(report, true);
    EXPECT_EQ(std::count(passed.begin(), passed.end(), '\n'), 1) << passed;
}

TEST_F(CanvasCheck, FailsWhenTheCountsDiffer) {
    writeAllCanvases();
    fs::remove(m_folder / "00000010.pbm");
    const player::CheckReport report = check();
    EXPECT_EQ(report.canvases, 10U);
    EXPECT_EQ(report.compared, 10U);
    EXPECT_TRUE(report.differences.empty());
    EXPECT_FALSE(report.passed(true));
    EXPECT_NE(player::describeCheck(report, false)
                  .find("the data file holds 11 frames, but " + folder() + " holds 10 canvases"),
              std::string::npos);
}

TEST_F(CanvasCheck, RefusesAGapInTheNumbering) {
    writeAllCanvases();
    fs::remove(m_folder / "00000004.pbm");
    try {
        check();
        FAIL() << "checked";
    } catch (const support::FileError& error) {
        EXPECT_EQ(error.reason(),
                  "no canvas 00000004.pbm, though the canvases are numbered up to 00000010");
    }
}

TEST_F(CanvasCheck, RefusesCanvasesOfAnotherSize) {
    writeAllCanvases();
    writeCanvas(2, noise(94 * 62, 1), 94, 62);
    try {
        check();
        FAIL() << "checked";
    } catch (const support::FileError& error) {
        EXPECT_EQ(error.path(), (m_folder / "00000002.pbm").string());
        EXPECT_NE(error.reason().find("94 x 62 pixels, the screen 96 x 64"), std::string::npos);
    }
}

TEST_F(CanvasCheck, RefusesAMissingFolder) {
    EXPECT_THROW(checkIn(folder() + "/none"), support::FileError);
}
