#include "outputfile.hpp"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>
#include "tempdir.hpp"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

using testsupport::TempDir;
using TIFunctions::BitString;

namespace fs = std::filesystem;

namespace {

class SaveToFileTest : public testing::Test {
  protected:
    std::string path(const std::string& name = "my.z80") const { return m_dir.file(name); }
    static std::string read(const std::string& file) { return TempDir::read(file); }
    void write(const std::string& file, const std::string& text) const {
        std::ofstream(file, std::ios::binary) << text;
    }
    std::size_t entries() const { return m_dir.entries(); }

    TempDir m_dir;
};

// Bytes 0, 1, 2, ... as bit text.
std::string countingBytes(int count) {
    std::string text;
    for (int k = 0; k < count; ++k) {
        for (int bit = 7; bit >= 0; --bit)
            text += ((k >> bit) & 1) ? '1' : '0';
    }
    return text;
}

struct LineCase {
    const char* name;
    std::string bits;
    std::string expected;
};

void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.name;
}

const std::string kFullLine =
    " .db %00000000, %00000001, %00000010, %00000011, %00000100, %00000101, %00000110, "
    "%00000111\r\n";

class SaveToFileLines : public SaveToFileTest, public testing::WithParamInterface<LineCase> {};

TEST_P(SaveToFileLines, WritesExactlyTheDataLines) {
    write(path(), "an older file\r\n");
    capture::SaveToFile(path(), BitString::fromText(GetParam().bits));
    EXPECT_EQ(read(path()), GetParam().expected);
    EXPECT_EQ(entries(), 1U);
}

INSTANTIATE_TEST_SUITE_P(
    Capture, SaveToFileLines,
    testing::Values(LineCase{"Empty", "", ""}, LineCase{"SevenBits", "1010101", ""},
                    LineCase{"OneByte", "10000001", " .db %10000001\r\n"},
                    LineCase{"TwoBytes", std::string(8, '0') + std::string(8, '1'),
                             " .db %00000000, %11111111\r\n"},
                    LineCase{"FullLine", countingBytes(8), kFullLine},
                    LineCase{"FullLineAndOne", countingBytes(9), kFullLine + " .db %00001000\r\n"},
                    LineCase{"TailDropped", countingBytes(8) + "101", kFullLine},
                    LineCase{"TwoFullLines", countingBytes(16),
                             kFullLine +
                                 " .db %00001000, %00001001, %00001010, %00001011, %00001100, "
                                 "%00001101, %00001110, %00001111\r\n"}),
    [](const testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

TEST_F(SaveToFileTest, FullLineIsNinetyOneCharacters) {
    capture::SaveToFile(path(), BitString::fromText(countingBytes(8)));
    EXPECT_EQ(read(path()).size(), 93U);
}

TEST_F(SaveToFileTest, LargeOutputHasOneLinePerEightBytes) {
    std::vector<std::uint8_t> bytes(24000);
    for (std::size_t k = 0; k < bytes.size(); ++k)
        bytes[k] = static_cast<std::uint8_t>(k * 37);
    capture::SaveToFile(path(), BitString::fromBytes(bytes));
    const std::string text = read(path());
    ASSERT_EQ(text.size(), 3000U * 93U);
    // Line 1234 holds bytes 9872 to 9879.
    std::string expected = " .db";
    for (std::size_t k = 9872; k < 9880; ++k) {
        expected += k == 9872 ? " %" : ", %";
        for (int bit = 7; bit >= 0; --bit)
            expected += ((bytes[k] >> bit) & 1) ? '1' : '0';
    }
    EXPECT_EQ(text.substr(1234 * 93, 93), expected + "\r\n");
}

// In a child process: saves with files limited to 4096 bytes; exits 3 on a FileError.
[[noreturn]] void saveUnderSizeLimit(const std::string& target, const BitString& bits) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
        capture::SaveToFile(target, bits);
    } catch (const support::FileError&) {
        std::_Exit(3);
    }
    std::_Exit(1);
}

// A write that fails half-way (here: the file size limit) leaves the older file as it was.
TEST_F(SaveToFileTest, FailedWriteLeavesTheOlderFileIntact) {
    const std::string old = "the previous conversion\r\n";
    write(path(), old);
    const BitString big = BitString::filled(8 * 200000, true);
    const std::string target = path();
    EXPECT_EXIT(saveUnderSizeLimit(target, big), testing::ExitedWithCode(3), "");
    EXPECT_EQ(read(path()), old);
    EXPECT_EQ(entries(), 1U);
}

}  // namespace
