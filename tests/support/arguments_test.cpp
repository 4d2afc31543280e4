// The shared command-line parser, the exit statuses' display check and the file error's message.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <ostream>

#include "arguments.hpp"
#include "fileerror.hpp"
#include "program.hpp"

using support::parseArguments;
using support::UsageError;

namespace {

constexpr support::Option kOptions[] = {{"--gif", "FILE", "write a GIF"},
                                        {"--info", {}, "print the records"},
                                        {"--scale", "N", "scale by N"},
                                        {"--quiet", {}, "print less", "-q"}};

struct GoodLine {
    const char* name;
    std::vector<std::string> arguments;
    std::vector<std::string> operands;
    const char* gif;  // the value of --gif, or nullptr when not given
    bool info;
};

void PrintTo(const GoodLine& c, std::ostream* os) {
    *os << c.name;
}

class GoodCommandLines : public testing::TestWithParam<GoodLine> {};

TEST_P(GoodCommandLines, GiveOptionsAndOperands) {
    const auto& c = GetParam();
    const support::Arguments parsed = parseArguments(c.arguments, kOptions, "a data file");
    EXPECT_EQ(parsed.operands(), c.operands);
    EXPECT_EQ(parsed.value("--gif"), c.gif ? std::optional<std::string>(c.gif) : std::nullopt);
    EXPECT_EQ(parsed.has("--info"), c.info);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, GoodCommandLines,
    testing::Values(
        GoodLine{"Nothing", {}, {}, nullptr, false},
        GoodLine{"SeparateValue", {"--gif", "a.gif", "my.z80"}, {"my.z80"}, "a.gif", false},
        GoodLine{"InlineValue", {"my.z80", "--gif=a=b.gif"}, {"my.z80"}, "a=b.gif", false},
        GoodLine{"ValueStartingWithDash", {"--gif", "-x", "f"}, {"f"}, "-x", false},
        GoodLine{"OptionsAnywhere", {"a", "--info", "b"}, {"a", "b"}, nullptr, true},
        GoodLine{"LoneDashIsAnOperand", {"-", "--info"}, {"-"}, nullptr, true},
        GoodLine{"DoubleDashEndsOptions",
                 {"--info", "--", "--gif", "-h", "--"},
                 {"--gif", "-h", "--"},
                 nullptr,
                 true}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadLine {
    const char* name;
    std::vector<std::string> arguments;
    const char* operand;
    const char* message;
};

void PrintTo(const BadLine& c, std::ostream* os) {
    *os << c.name;
}

class BadCommandLines : public testing::TestWithParam<BadLine> {};

TEST_P(BadCommandLines, AreUsageErrors) {
    try {
        parseArguments(GetParam().arguments, kOptions, GetParam().operand);
        FAIL() << "accepted";
    } catch (const UsageError& error) {
        EXPECT_EQ(std::string(error.what()), GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, BadCommandLines,
    testing::Values(
        BadLine{"UnknownOption",
                {"my.z80", "--fps", "20"},
                "a data file",
                "unknown option --fps (a data file that begins with \"-\" goes after \"--\")"},
        BadLine{"UnknownShortOption", {"-x"}, "", "unknown option -x"},
        BadLine{"OperandNobodyTakes", {"--info", "x.ini"}, "", "unexpected argument x.ini"},
        BadLine{"MissingValue", {"my.z80", "--gif"}, "a file", "option --gif needs a value"},
        BadLine{"EmptyValue", {"--gif="}, "a file", "option --gif needs a value, not \"\""},
        BadLine{
            "EmptySeparateValue", {"--gif", ""}, "a file", "option --gif needs a value, not \"\""},
        BadLine{"Repeated", {"--gif", "a", "--gif=b"}, "a file", "option --gif is given twice"},
        BadLine{"RepeatedFlag", {"--info", "--info"}, "a file", "option --info is given twice"},
        BadLine{"RepeatedUnderAlias", {"-q", "--quiet"}, "a file", "option --quiet is given twice"},
        BadLine{"HelpTwice", {"-h", "--help"}, "a file", "option --help is given twice"},
        BadLine{"FlagWithValue", {"--info=yes"}, "a file", "option --info takes no value"},
        BadLine{"VersionWithValue", {"--version=1"}, "a file", "option --version takes no value"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Arguments, HelpVersionAndAliasesAreKnownEverywhere) {
    const auto parsed = parseArguments({"-h", "--version", "-q", "extra"}, kOptions, "a file");
    EXPECT_TRUE(parsed.help());
    EXPECT_TRUE(parsed.version());
    EXPECT_TRUE(parsed.has("--quiet"));
    EXPECT_FALSE(parsed.has("-q"));
}

// --help is built from the table, so an option without its description is refused at once.
TEST(Arguments, RefuseAnOptionWithoutItsDescription) {
    const support::Option undescribed[] = {{"--gif", "FILE", ""}};
    EXPECT_THROW(parseArguments({}, undescribed, "a file"), std::logic_error);
}

struct HelpCase {
    const char* name;
    std::vector<support::Option> options;
    std::string help;
};

void PrintTo(const HelpCase& c, std::ostream* os) {
    *os << c.name;
}

class OptionHelp : public testing::TestWithParam<HelpCase> {};

TEST_P(OptionHelp, ListsEachOptionWithItsDescription) {
    EXPECT_EQ(support::optionHelp(GetParam().options), GetParam().help);
}

// The description column, and a description that fills a line of kHelpWidth to its last column.
const std::string kColumn(support::kHelpColumn, ' ');
const std::string kFullLine =
    "abcdefghi " + std::string(support::kHelpWidth - kColumn.size() - 10, 'x');
// Options hold views: the descriptions made here live as long as the test.
const std::string kFullLineAndMore = kFullLine + " next  words";
const std::string kLongWord(support::kHelpWidth, 'w');
const std::string kShortAndLongWord = "x " + kLongWord;

INSTANTIATE_TEST_SUITE_P(
    Arguments, OptionHelp,
    testing::Values(
        HelpCase{"FlagValueNameAndAlias",
                 {{"--info", {}, "print the records"}, {"--job", "PATH", "read PATH", "-j"}},
                 "  --info                print the records\n"
                 "  -j, --job PATH        read PATH\n"},
        HelpCase{"WrapsAtTheWidth",
                 {{"--a", {}, kFullLineAndMore}},
                 "  --a                   " + kFullLine + "\n" + kColumn + "next words\n"},
        HelpCase{"WordLongerThanALineStaysWhole",
                 {{"--a", {}, kShortAndLongWord}},
                 "  --a                   x\n" + kColumn + kLongWord + "\n"},
        HelpCase{"LineBreakInTheDescription",
                 {{"--model", "MODEL", "a: one\nb: two"}},
                 "  --model MODEL         a: one\n" + kColumn + "b: two\n"},
        HelpCase{"NamesUpToTwoBeforeTheColumn",
                 {{"--power-down-ticks", "N", "ticks"}, {"--aspect", "stretch|keep", "shape"}},
                 "  --power-down-ticks N  ticks\n"
                 "  --aspect stretch|keep\n" +
                     kColumn + "shape\n"},
        HelpCase{"SameDescriptionOneEntry",
                 {{"--interlace", {}, "interlace or not"},
                  {"--no-interlace", {}, "interlace or not"},
                  {"--fit", {}, "interlace or not, chosen"}},
                 "  --interlace, --no-interlace\n" + kColumn +
                     "interlace or not\n"
                     "  --fit                 interlace or not, chosen\n"},
        HelpCase{"UnlistedLeftOut",
                 {{.name = "--grab", .valueName = "PNG", .description = "grab", .listed = false},
                  {"--info", {}, "print"}},
                 "  --info                print\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OptionHelp, AddsHelpVersionAndTheEndOfOptions) {
    const support::Option own[] = {{"--info", {}, "print"}};
    const std::string common =
        "  --info                print\n"
        "  -h, --help            show this text\n"
        "  --version             show the version\n";
    EXPECT_EQ(support::programOptionHelp(own, {}), common);
    EXPECT_EQ(support::programOptionHelp(own, "the file"),
              common + "  --                    end of options: what follows is the file\n");
}

struct NumberCase {
    const char* text;
    std::uint64_t low;
    std::uint64_t high;
    bool valid;
};

class WholeNumbers : public testing::TestWithParam<NumberCase> {};

TEST_P(WholeNumbers, AreAcceptedOnlyInTheirRange) {
    const auto& c = GetParam();
    if (c.valid) {
        EXPECT_EQ(support::wholeNumber("--n", c.text, c.low, c.high), std::stoull(c.text));
        return;
    }
    try {
        support::wholeNumber("--n", c.text, c.low, c.high);
        FAIL() << "accepted";
    } catch (const UsageError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "--n needs a whole number from " + std::to_string(c.low) + " to " +
                      std::to_string(c.high) + ", not \"" + c.text + "\"");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, WholeNumbers,
    testing::Values(NumberCase{"1", 1, 32, true}, NumberCase{"32", 1, 32, true},
                    NumberCase{"0", 1, 32, false}, NumberCase{"33", 1, 32, false},
                    NumberCase{"-1", 0, 9, false}, NumberCase{"+1", 0, 9, false},
                    NumberCase{"4x", 0, 9, false}, NumberCase{"", 0, 9, false},
                    NumberCase{" 4", 0, 9, false},
                    NumberCase{"18446744073709551615", 0, 18446744073709551615ULL, true},
                    NumberCase{"18446744073709551616", 0, 18446744073709551615ULL, false}));

struct TimeCase {
    const char* text;
    std::int64_t micros;  // -1: refused
};

class Times : public testing::TestWithParam<TimeCase> {};

TEST_P(Times, AreSecondsOrClockTimes) {
    const auto& c = GetParam();
    if (c.micros >= 0) {
        EXPECT_EQ(support::timeValue("--from", c.text), c.micros);
        return;
    }
    try {
        support::timeValue("--from", c.text);
        FAIL() << "accepted";
    } catch (const UsageError& error) {
        EXPECT_EQ(std::string(error.what()),
                  std::string("--from needs a time in seconds or as [[h:]m:]s[.f], not \"") +
                      c.text + "\"");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, Times,
    testing::Values(TimeCase{"0", 0}, TimeCase{"95", 95'000'000}, TimeCase{"95.5", 95'500'000},
                    TimeCase{"0.000001", 1}, TimeCase{"1:35.25", 95'250'000},
                    TimeCase{"1:02:03", 3'723'000'000}, TimeCase{"0:59", 59'000'000},
                    TimeCase{"120:00", 7'200'000'000}, TimeCase{"1:60", -1},
                    TimeCase{"1:60:00", -1}, TimeCase{"1:2:3:4", -1}, TimeCase{"0.0000001", -1},
                    TimeCase{"-1", -1}, TimeCase{"1.", -1}, TimeCase{".5", -1}, TimeCase{"1:", -1},
                    TimeCase{"1s", -1}, TimeCase{"1e3", -1}, TimeCase{"1.2.3", -1},
                    TimeCase{"99999999999999999999", -1}));

TEST(DisplayAvailable, IsAnyOfThreeVariablesSetAndNotEmpty) {
    const char* names[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    for (const char* name : names)
        ::unsetenv(name);
    EXPECT_FALSE(support::displayAvailable());
    for (const char* name : names) {
        ::setenv(name, "", 1);
        EXPECT_FALSE(support::displayAvailable()) << name;
        ::setenv(name, ":0", 1);
        EXPECT_TRUE(support::displayAvailable()) << name;
        ::unsetenv(name);
    }
}

struct MessageCase {
    const char* name;
    std::string path;
    std::size_t line;
    std::size_t column;
    std::string what;
};

class FileErrorMessages : public testing::TestWithParam<MessageCase> {};

TEST_P(FileErrorMessages, NameThePlaceOnOneLine) {
    const auto& c = GetParam();
    const support::FileError error(c.path, "the reason", c.line, c.column);
    EXPECT_EQ(std::string(error.what()), c.what);
    EXPECT_EQ(error.path(), c.path);
    EXPECT_EQ(error.reason(), "the reason");
    EXPECT_EQ(error.line(), c.line);
}

INSTANTIATE_TEST_SUITE_P(
    FileError, FileErrorMessages,
    testing::Values(MessageCase{"Path", "a b/my.z80", 0, 0, "a b/my.z80: the reason"},
                    MessageCase{"Line", "job.ini", 7, 0, "job.ini:7: the reason"},
                    MessageCase{"Column", "my.z80", 7, 3, "my.z80:7:3: the reason"},
                    MessageCase{"LineBreak", "a\nb\"\\", 0, 0, "\"a\\nb\\\"\\\\\": the reason"},
                    MessageCase{"Escape", std::string("x\x1b"), 2, 0, "\"x\\x1B\":2: the reason"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
