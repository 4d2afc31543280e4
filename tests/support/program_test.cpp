// The entry every program runs through: help, version, the run and the errors it lets through.

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "fileerror.hpp"
#include "program.hpp"

namespace {

struct ToyOptions {
    bool help = false;
    bool version = false;
    std::string what;  // what the run does: its operand
};

std::string toyHelp() {
    return "Usage: toy WHAT\n";
}

ToyOptions parseToy(const std::vector<std::string>& arguments) {
    const support::Arguments parsed = support::parseArguments(arguments, {}, "what to do");
    ToyOptions options{parsed.help(), parsed.version(), {}};
    if (!options.help && !options.version && parsed.operands().size() != 1)
        throw support::UsageError("say one thing to do");
    if (!parsed.operands().empty()) options.what = parsed.operands().front();
    return options;
}

int runToy(const ToyOptions& options) {
    if (options.what == "file") throw support::FileError("in.z80", "No such file or directory");
    if (options.what == "late-usage") throw support::UsageError("--model ti83 does not run it");
    if (options.what == "range") throw std::out_of_range("frame 9 of 3");
    if (options.what == "cancel") return support::kExitCancelled;
    return support::kExitDone;
}

struct EntryCase {
    const char* name;
    std::vector<std::string> arguments;
    int status;
    std::string out;
    std::string err;
};

void PrintTo(const EntryCase& c, std::ostream* os) {
    *os << c.name;
}

class ProgramEntry : public testing::TestWithParam<EntryCase> {};

TEST_P(ProgramEntry, GivesTheStatusAndTheMessages) {
    std::vector<std::string> words{"toy"};
    words.insert(words.end(), GetParam().arguments.begin(), GetParam().arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    std::ostringstream out;
    std::ostringstream err;
    const int status =
        support::runProgram<ToyOptions>({"toy", "1.2", toyHelp, parseToy, runToy},
                                        static_cast<int>(argv.size()), argv.data(), out, err);
    EXPECT_EQ(status, GetParam().status);
    EXPECT_EQ(out.str(), GetParam().out);
    EXPECT_EQ(err.str(), GetParam().err);
}

constexpr const char* kTryHelp = "Try 'toy --help' for more information.\n";

INSTANTIATE_TEST_SUITE_P(
    Program, ProgramEntry,
    testing::Values(
        EntryCase{"Done", {"ok"}, 0, "", ""}, EntryCase{"Help", {"-h"}, 0, "Usage: toy WHAT\n", ""},
        EntryCase{"Version", {"--version"}, 0, "toy 1.2\n", ""},
        EntryCase{"ParseRefuses", {}, 2, "", std::string("toy: say one thing to do\n") + kTryHelp},
        EntryCase{"RunRefusesTheCommandLine",
                  {"late-usage"},
                  2,
                  "",
                  std::string("toy: --model ti83 does not run it\n") + kTryHelp},
        EntryCase{"FileError", {"file"}, 1, "", "toy: in.z80: No such file or directory\n"},
        EntryCase{"OtherError", {"range"}, 1, "", "toy: frame 9 of 3\n"},
        EntryCase{"Cancelled", {"cancel"}, 130, "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
