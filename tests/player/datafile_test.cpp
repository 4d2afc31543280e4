// The strict reader of data lines: what it accepts, where it points at a fault, and that it reads
// back exactly what the converter's writer wrote.

#include <gtest/gtest.h>

#include <ostream>

#include <filesystem>
#include <fstream>
#include <random>
#include <tuple>

#include "bitstring.hpp"
#include "datafile.hpp"
#include "outputfile.hpp"
#include "tempdir.hpp"

namespace fs = std::filesystem;
using player::parseDataLines;
using support::FileError;

namespace {

const std::string kEight =
    " .db %00000001, %00000010, %00000100, %00001000, %00010000, %00100000, %01000000, %10000000";

struct Malformed {
    const char* name;
    std::string text;
    std::size_t line;
    std::size_t column;
    const char* expected;  // a part of what the reader says it expected
    const char* found;
};

// Test names and failures show the case by its name.
void PrintTo(const Malformed& c, std::ostream* os) {
    *os << c.name;
}

class MalformedLines : public testing::TestWithParam<Malformed> {};

}  // namespace

TEST_P(MalformedLines, AreRejectedAtTheirLineAndColumn) {
    const Malformed& c = GetParam();
    try {
        parseDataLines(c.text, "my.z80");
        FAIL() << "accepted";
    } catch (const FileError& error) {
        EXPECT_EQ(error.line(), c.line);
        EXPECT_EQ(error.column(), c.column);
        const std::string& reason = error.reason();
        EXPECT_EQ(reason.rfind("expected ", 0), 0U) << reason;
        EXPECT_NE(reason.find(c.expected), std::string::npos) << reason;
        EXPECT_EQ(reason.substr(reason.rfind(", found ") + 8), c.found) << reason;
        EXPECT_EQ(std::string(error.what()), "my.z80:" + std::to_string(c.line) + ":" +
                                                 std::to_string(c.column) + ": " + reason);
    }
}

INSTANTIATE_TEST_SUITE_P(
    DataLines, MalformedLines,
    testing::Values(
        Malformed{"MissingPercent", " .db %00000001\r\n .db 00000001\r\n", 2, 6, "'%'", "'0'"},
        Malformed{"NineBits", " .db %000000001\r\n", 1, 15, "',' or the line end", "'1'"},
        Malformed{"SevenBits", " .db %0000001\r\n", 1, 14, "binary digit", "the line end"},
        Malformed{"TenItems", kEight + ", %00000001, %00000010\r\n", 1, 92,
                  "the line end after the eighth item", "','"},
        Malformed{"NineItems", kEight + ", %00000001\r\n", 1, 92,
                  "the line end after the eighth item", "','"},
        Malformed{"StrayComment", " .db %00000001 ; frame 0\r\n", 1, 15, "',' or the line end",
                  "a space"},
        Malformed{"CommentLine", "; frames\r\n .db %00000001\r\n", 1, 1, "\" .db\"", "';'"},
        Malformed{"TrailingComma", " .db %00000001,\r\n", 1, 16, "a space after \",\"",
                  "the line end"},
        Malformed{"EmptyLineBetween", " .db %00000001\r\n\r\n .db %00000001\r\n", 2, 1, "\" .db\"",
                  "the line end"},
        Malformed{"EmptyLineAtTheEnd", " .db %00000001\n\n", 2, 1, "\" .db\"", "the line end"},
        Malformed{"NoItem", " .db\r\n", 1, 5, "a space after \".db\"", "the line end"},
        Malformed{"UpperCaseDirective", " .DB %00000001\r\n", 1, 3, "\" .db\"", "'D'"},
        Malformed{"NoLeadingSpace", ".db %00000001\r\n", 1, 1, "\" .db\"", "'.'"},
        Malformed{"TabForSpace", " .db\t%00000001\r\n", 1, 5, "a space", "a tab"},
        Malformed{"TwoSpaces", " .db  %00000001\r\n", 1, 6, "'%'", "a space"},
        Malformed{"SpaceBeforeComma", " .db %00000001 , %00000001\r\n", 1, 15,
                  "',' or the line end", "a space"},
        Malformed{"TrailingSpace", " .db %00000001 \r\n", 1, 15, "',' or the line end", "a space"},
        Malformed{"DigitTwo", " .db %00000201\r\n", 1, 12, "binary digit", "'2'"},
        Malformed{"LoneCarriageReturn", " .db %00000001\r .db %00000001\r\n", 1, 15, "the line end",
                  "a carriage return without a line feed"},
        Malformed{"NoFinalLineEnd", " .db %00000001\r\n .db %00000001", 2, 15, "the line end",
                  "the end of the file"},
        Malformed{"CutInsideItem", " .db %0000", 1, 11, "binary digit", "the end of the file"},
        Malformed{"NonAsciiByte", " .db %0000000\xB9\r\n", 1, 14, "binary digit", "the byte 0xB9"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DataLines, AcceptOneToEightItemsWithEitherLineEnd) {
    EXPECT_TRUE(parseDataLines("", "my.z80").empty());
    EXPECT_EQ(parseDataLines(" .db %10010001\r\n", "x"), std::vector<std::uint8_t>{145});
    EXPECT_EQ(parseDataLines(" .db %11111111, %00000000\n .db %10000001\r\n", "x"),
              (std::vector<std::uint8_t>{255, 0, 129}));
    EXPECT_EQ(
        parseDataLines(kEight + "\r\n" + kEight + "\n", "x"),
        (std::vector<std::uint8_t>{1, 2, 4, 8, 16, 32, 64, 128, 1, 2, 4, 8, 16, 32, 64, 128}));
}

TEST(DataLines, ReadBackEveryLengthTheWriterWrites) {
    const testsupport::TempDir folder;
    std::mt19937 random(99);
    // 200,000 bytes take 2.3 MB of text, read in several pieces.
    for (std::size_t length : {0U, 1U, 7U, 8U, 9U, 15U, 16U, 17U, 100U, 8056U, 200000U}) {
        std::vector<std::uint8_t> bytes(length);
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(random());
        const std::string path = folder.file("my.z80");
        capture::SaveToFile(path, TIFunctions::BitString::fromBytes(bytes));
        EXPECT_EQ(player::readDataFile(path), bytes) << length << " bytes";
    }
}

// Faults past the first piece the file is read in keep their line, column and reason.
TEST(DataFile, PointsAtFaultsFarIntoTheFile) {
    const testsupport::TempDir folder;
    std::string lines;
    for (int i = 0; i < 20000; ++i)
        lines += kEight + "\r\n";
    for (const auto& [tail, column, found] :
         {std::tuple{std::string(" .db %0000001x\n"), 14U, "found 'x'"},
          std::tuple{std::string(" .db %00000001"), 15U, "found the end of the file"},
          std::tuple{std::string(3'000'000, ' '), 2U, "found a space"}}) {
        try {
            player::readDataFile(folder.write("my.z80", lines + tail));
            FAIL() << "read " << tail.substr(0, 20);
        } catch (const FileError& error) {
            EXPECT_EQ(error.line(), 20001U);
            EXPECT_EQ(error.column(), column);
            EXPECT_NE(std::string(error.what()).find(found), std::string::npos) << error.what();
        }
    }
}

TEST(DataFile, NamesThePathWhenItCannotBeRead) {
    try {
        player::readDataFile("/nonexistent/my.z80");
        FAIL() << "read a missing file";
    } catch (const FileError& error) {
        EXPECT_EQ(error.path(), "/nonexistent/my.z80");
        EXPECT_EQ(error.line(), 0U);
        EXPECT_EQ(std::string(error.what()), "/nonexistent/my.z80: No such file or directory");
    }
    EXPECT_THROW(player::readDataFile(fs::temp_directory_path().string()), FileError);
}
