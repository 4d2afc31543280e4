#include "inifiles.hpp"
#include "defaultreads.hpp"
#include "tempdir.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>

namespace fs = std::filesystem;
using INIfiles::findIniString;
using INIfiles::parseLeadingNumber;
using INIfiles::ReadININumber;
using INIfiles::ReadINIString;
using support::FileError;
using testsupport::TempDir;

namespace {

// The shipped job file, the job maker's defaults, with its CR LF line ends replaced by lineEnd.
std::string defaultJobFile(const std::string& lineEnd) {
    std::ifstream file(std::string(KELVONAR_SOURCE_DIR) + "/samples/thisjob.ini", std::ios::binary);
    const std::string crLf((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    std::string text;
    for (std::size_t at = 0; at < crLf.size();) {
        const std::size_t end = crLf.find("\r\n", at);
        if (end == std::string::npos) {
            ADD_FAILURE() << "the shipped job file ends without CR LF";
            break;
        }
        text += crLf.substr(at, end - at) + lineEnd;
        at = end + 2;
    }
    return text;
}

struct LookupCase {
    const char* name;
    const char* text;
    const char* section;
    const char* key;
    const char* expected;
};

void PrintTo(const LookupCase& c, std::ostream* out) {
    *out << c.name;
}

class FindINIStringTest : public testing::TestWithParam<LookupCase> {};

TEST_P(FindINIStringTest, FindsTheValue) {
    const LookupCase& c = GetParam();
    EXPECT_EQ(findIniString(c.text, c.section, c.key), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, FindINIStringTest,
    testing::Values(
        LookupCase{"CapitalHeaderIsNotFound", "[Media]\r\nwidth=94\r\n", "media", "width", ""},
        LookupCase{"SectionArgumentIsLowerCased", "[media]\r\nwidth=94\r\n", "MEDIA", "Width",
                   "94"},
        LookupCase{"KeyMatchesWithoutCase", "[media]\r\nWIDTH=50\r\n", "media", "width", "50"},
        LookupCase{"KeyMatchesAsPrefix", "[media]\r\ndithermode=2\r\n", "media", "dither", "2"},
        LookupCase{"BlanksAroundEqualsAreTrimmed", "[media]\r\n  width = 94   \r\n", "media",
                   "width", "94"},
        LookupCase{"FirstDuplicateWins", "[media]\r\nwidth=1\r\nwidth=2\r\n", "media", "width",
                   "1"},
        LookupCase{"LaterSectionIsSearchedToo", "[media]\r\nx=1\r\n[debug]\r\nwidth=7\r\n", "media",
                   "width", "7"},
        LookupCase{"EntryAboveHeaderIsIgnored", "width=5\r\n[media]\r\nheight=62\r\n", "media",
                   "width", ""},
        LookupCase{"HeaderLineIsNotAnEntry", "[media]\r\n", "media", "[media", ""},
        LookupCase{"ValueKeepsLaterEquals", "[s]\r\na=b=c\r\n", "s", "a", "b=c"},
        LookupCase{"CommaEndsTheItem", "[media]\r\nwidth=94,62\r\n", "media", "width", "94"},
        LookupCase{"ItemAfterCommaIsSeparate", "[media]\r\nx=1,width=3\r\n", "media", "width", "3"},
        LookupCase{"LineWithoutEqualsIsSkipped", "[media]\r\nwidth\r\nwidth 7\r\nwidth=9\r\n",
                   "media", "width", "9"},
        LookupCase{"QuotesAreKept", "[device]\r\nname=\"TI83\"\r\n", "device", "name", "\"TI83\""},
        LookupCase{"TabIsNotTrimmed", "[media]\r\n\twidth=94\r\n", "media", "width", ""},
        LookupCase{"LastLineWithoutLineEnd", "[media]\r\nwidth=94", "media", "width", "94"},
        LookupCase{"MissingSection", "[device]\r\nwidth=96\r\n", "media", "width", ""},
        LookupCase{"EmptyKeyMatchesNothing", "[media]\r\n=5\r\n", "media", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

class LineEndTest : public testing::TestWithParam<std::string> {};

TEST_P(LineEndTest, DefaultFileGivesTheDefaultValues) {
    const TempDir dir;
    const std::string path = dir.write("thisjob.ini", defaultJobFile(GetParam()));
    for (std::size_t i = 0; i < conversion::kJobKeys.size(); ++i) {
        const conversion::JobKey& read = conversion::kJobKeys[i];
        EXPECT_EQ(ReadININumber(path, read.section, read.key), kDefaultValues[i])
            << read.section << "/" << read.key;
    }
    EXPECT_EQ(ReadINIString(path, "device", "devicename"), "TI82");
}

INSTANTIATE_TEST_SUITE_P(Files, LineEndTest, testing::Values("\r\n", "\n", "\r"),
                         [](const auto& info) {
                             return info.param == "\r\n" ? "CrLf"
                                    : info.param == "\n" ? "Lf"
                                                         : "Cr";
                         });

TEST(LineEnds, BlankLinesOfEveryKindAreEmptyItems) {
    // An empty line between header and entry must not swallow the entry.
    EXPECT_EQ(findIniString("[a]\n\r\n\rk=1\n", "a", "k"), "1");
    EXPECT_EQ(findIniString("[a]\r\r\nk=2", "a", "k"), "2");
}

struct NumberCase {
    const char* text;
    double expected;
};

void PrintTo(const NumberCase& c, std::ostream* out) {
    *out << '"' << c.text << '"';
}

class ParseLeadingNumberTest : public testing::TestWithParam<NumberCase> {};

TEST_P(ParseLeadingNumberTest, ConvertsTheLeadingNumber) {
    EXPECT_EQ(parseLeadingNumber(GetParam().text), GetParam().expected)
        << "text \"" << GetParam().text << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Rule, ParseLeadingNumberTest,
    testing::Values(NumberCase{"24000", 24000}, NumberCase{"94px", 94}, NumberCase{"1 20", 120},
                    NumberCase{"\t4\n2", 42}, NumberCase{"TI83", 0}, NumberCase{"", 0},
                    NumberCase{"-5", -5}, NumberCase{"+5", 5}, NumberCase{"- 5", -5},
                    NumberCase{"1.5", 1.5}, NumberCase{".5", 0.5}, NumberCase{"5.", 5},
                    NumberCase{".", 0}, NumberCase{"-", 0}, NumberCase{"1.2.3", 1.2},
                    NumberCase{"1,5", 1}, NumberCase{"1E3", 1000}, NumberCase{"1D3", 1000},
                    NumberCase{"1e3", 1000}, NumberCase{"2.5E-1", 0.25}, NumberCase{"1.e2", 100},
                    NumberCase{"1E", 1}, NumberCase{"1E+", 1}, NumberCase{"1Ex", 1},
                    NumberCase{"0x1F", 0}, NumberCase{"&H10", 0}, NumberCase{"017", 17},
                    NumberCase{"\"94\"", 0}, NumberCase{"1e308", 1e308}, NumberCase{"1e999", 0},
                    NumberCase{"-1e999", 0}, NumberCase{"1e-999", 0},
                    NumberCase{"00000000000000000000000000000000000012", 12}));

TEST(ParseLeadingNumber, PointIsTheSeparatorInAnyLocale) {
    // A process may run under a locale with a decimal comma, as a Qt program does after start-up.
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    bool switched = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"}) {
        if (std::setlocale(LC_ALL, name) != nullptr) {
            switched = *std::localeconv()->decimal_point == ',';
            break;
        }
    }
    EXPECT_EQ(parseLeadingNumber("2.5"), 2.5);
    EXPECT_EQ(parseLeadingNumber("2,5"), 2);
    std::setlocale(LC_ALL, previous.c_str());
    if (!switched) GTEST_SKIP() << "no locale with a decimal comma is installed";
}

TEST(ReadINIString, SeesAChangedFileAtTheNextRead) {
    const TempDir dir;
    const std::string path = dir.write("thisjob.ini", "[media]\r\nwidth=94\r\n");
    EXPECT_EQ(ReadININumber(path, "media", "width"), 94);
    dir.write("thisjob.ini", "[media]\r\nwidth=50\r\n");
    EXPECT_EQ(ReadININumber(path, "media", "width"), 50);
}

// Each way a job file can be unusable is reported with its path, never as a crash or a 0.
TEST(JobFile, MissingFileNamesPathAndReason) {
    const TempDir dir;
    const std::string path = (dir.path() / "thisjob.ini").string();
    try {
        ReadININumber(path, "media", "width");
        FAIL() << "no error for a missing file";
    } catch (const FileError& error) {
        EXPECT_EQ(error.path(), path);
        EXPECT_EQ(error.reason(), "No such file or directory");
        EXPECT_NE(std::string(error.what()).find(path), std::string::npos);
    }
}

TEST(JobFile, EmptyFileAndDirectoryAreReported) {
    const TempDir dir;
    const std::string empty = dir.write("thisjob.ini", "");
    EXPECT_THROW(ReadINIString(empty, "media", "width"), FileError);
    EXPECT_THROW(ReadININumber(dir.path().string(), "media", "width"), FileError);
    // A file of one blank line is not empty: it holds no values.
    EXPECT_EQ(ReadININumber(dir.write("blank.ini", "\r\n"), "media", "width"), 0);
}

TEST(JobFile, UnreadableFileIsReported) {
    if (geteuid() == 0) GTEST_SKIP() << "file permissions do not bind root";
    const TempDir dir;
    const std::string path = dir.write("thisjob.ini", "[media]\r\nwidth=94\r\n");
    fs::permissions(path, fs::perms::none);
    try {
        ReadININumber(path, "media", "width");
        FAIL() << "no error for an unreadable file";
    } catch (const FileError& error) {
        EXPECT_EQ(error.reason(), "Permission denied");
    }
}

}  // namespace
