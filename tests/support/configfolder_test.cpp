// The configuration folder an installed program keeps its job file in.

#include "configfolder.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

struct ConfigCase {
    const char* xdgConfigHome;  // nullptr: unset
    const char* home;
    const char* folder;
};

class ConfigFolder : public testing::TestWithParam<ConfigCase> {
  protected:
    void TearDown() override {
        restore("XDG_CONFIG_HOME", m_xdg);
        restore("HOME", m_home);
    }
    static std::optional<std::string> saved(const char* name) {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    }
    static void restore(const char* name, const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }
    std::optional<std::string> m_xdg = saved("XDG_CONFIG_HOME");
    std::optional<std::string> m_home = saved("HOME");
};

TEST_P(ConfigFolder, FollowsTheBaseDirectoryRules) {
    if (GetParam().xdgConfigHome != nullptr) {
        ::setenv("XDG_CONFIG_HOME", GetParam().xdgConfigHome, 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
    ::setenv("HOME", GetParam().home, 1);
    EXPECT_EQ(support::configFolder(), GetParam().folder);
}

INSTANTIATE_TEST_SUITE_P(Support, ConfigFolder,
                         testing::Values(ConfigCase{"/x/config", "/home/u", "/x/config/kelvonar"},
                                         ConfigCase{nullptr, "/home/u", "/home/u/.config/kelvonar"},
                                         ConfigCase{"", "/home/u", "/home/u/.config/kelvonar"},
                                         ConfigCase{"relative/config", "/home/u",
                                                    "/home/u/.config/kelvonar"}));

// Only the build folder keeps the job beside the programs: a copy elsewhere, even in a writable
// folder, behaves as an installed program.
TEST(JobFolder, IsTheProgramDirectoryOnlyForTheBuildFolder) {
    const std::string build = TEST_BUILD_FOLDER;
    EXPECT_TRUE(support::runFromBuild(build));
    EXPECT_TRUE(support::runFromBuild(build + "/."));
    EXPECT_EQ(support::jobFolder(build), build);
    EXPECT_FALSE(support::runFromBuild(testing::TempDir()));
    EXPECT_EQ(support::jobFolder(testing::TempDir()), support::configFolder());
    EXPECT_FALSE(support::runFromBuild(build + "/no such folder"));
}

}  // namespace
