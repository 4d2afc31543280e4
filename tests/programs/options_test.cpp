// Every option of every program carries its description, and --help lists each listed one.

#include <gtest/gtest.h>

#include <span>
#include <string>

// Three programs name their command line's header alike.
#include "converter/commandline.hpp"
#include "core/frameloop/joboptions.hpp"
#include "programs/kelvonar-emu/emurun.hpp"
#include "programs/kelvonar-pack/packrun.hpp"
#include "programs/kelvonar-play/commandline.hpp"
#include "programs/prelmat/commandline.hpp"

namespace {

struct OptionTable {
    const char* name;
    std::span<const support::Option> options;
    std::string (*help)();
};

void PrintTo(const OptionTable& c, std::ostream* os) {
    *os << c.name;
}

class ProgramOptions : public testing::TestWithParam<OptionTable> {};

TEST_P(ProgramOptions, AreDescribedAndListedInTheHelp) {
    const std::string help = GetParam().help();
    for (const support::Option& option : GetParam().options) {
        EXPECT_TRUE(option.name.starts_with("--")) << option.name;
        EXPECT_FALSE(option.description.empty()) << option.name << " has no description";
        EXPECT_FALSE(option.description.ends_with('\n')) << option.name;
        const std::string shown = std::string(option.name) +
                                  (option.takesValue() ? " " + std::string(option.valueName) : "");
        const bool listed = help.find("  " + shown) != std::string::npos ||
                            help.find(", " + shown) != std::string::npos;
        EXPECT_EQ(listed, option.listed) << shown;
    }
    for (const char* common : {"  -h, --help ", "  --version "})
        EXPECT_NE(help.find(common), std::string::npos) << common;
}

INSTANTIATE_TEST_SUITE_P(
    Programs, ProgramOptions,
    testing::Values(OptionTable{"kelvonar", conversion::converterOptions(), conversion::usageText},
                    OptionTable{"kelvonarJobValues", conversion::kJobOptions,
                                conversion::usageText},
                    OptionTable{"kelvonarPlay", player::playerOptions(), player::playerUsage},
                    OptionTable{"prelmat", jobmaker::prelmatOptions(), jobmaker::prelmatUsage},
                    OptionTable{"kelvonarEmu", emulator::emuOptions(), emulator::emuUsage},
                    OptionTable{"kelvonarPack", pack::packOptions(), pack::packUsage}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
