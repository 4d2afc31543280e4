// kelvonar-pack's run: the files it writes, and every refusal with its message and no file left.

#include "packrun.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>

#include "animation.hpp"
#include "arguments.hpp"
#include "fileerror.hpp"
#include "tempdir.hpp"
#include "tifile.hpp"

namespace {

namespace fs = std::filesystem;

// count key records of code type 0, each 768 plain bytes.
std::string dataLines(std::size_t count, std::uint8_t header = 0x00) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t k = 0; k < count; ++k) {
        bytes.push_back(header);
        bytes.insert(bytes.end(), 768, static_cast<std::uint8_t>(k));
    }
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); i += 8) {
        text += " .db";
        for (std::size_t j = i; j < std::min(bytes.size(), i + 8); ++j) {
            text += j > i ? ", %" : " %";
            for (int bit = 7; bit >= 0; --bit)
                text += ((bytes[j] >> bit) & 1) ? '1' : '0';
        }
        text += "\r\n";
    }
    return text;
}

std::vector<std::string> filesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(PackRun, WritesTheFilesForTheModelAndPrintsTheirPaths) {
    testsupport::TempDir dir;
    const std::string data = dir.write("clip 1.z80", dataLines(3));
    fs::create_directory(dir.path() / "out");
    std::ostringstream out;
    pack::runPack(pack::parsePackArguments({"--output", dir.file("out"), data}), out);

    const fs::path outDir = dir.path() / "out";
    EXPECT_EQ(out.str(), (outDir / "CLIP1.8xp").string() + "\n" + (outDir / "CLIP10.8xv").string() +
                             "\n" + (outDir / "CLIP1.8xg").string() + "\n");
    const auto read = [&](const char* name) {
        std::ifstream in(outDir / name, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        return pack::readCalcFile(bytes, name);
    };
    const pack::CalcFile group = read("CLIP1.8xg");
    EXPECT_EQ(group.comment.rfind("kelvonar-pack ", 0), 0U) << group.comment;
    ASSERT_EQ(group.variables.size(), 2U);
    EXPECT_EQ(group.variables[1].data.size(), 2 + 3 * 769U);

    std::ostringstream again;
    pack::runPack(
        pack::parsePackArguments({"--output", dir.file("out"), "--comment", "mine", data}), again);
    EXPECT_EQ(read("CLIP1.8xp").comment, "mine");
}

struct RefusalCase {
    const char* label;
    std::vector<std::string> arguments;  // DATA and OUT stand for the data file and the folder
    std::string data;
    std::vector<std::string> message;
    std::function<void(const fs::path&)> prepare = {};  // given the output folder
};

class PackRunRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(PackRunRefusal, SaysWhyAndWritesNothing) {
    const RefusalCase& c = GetParam();
    testsupport::TempDir dir;
    const fs::path outDir = dir.path() / "out";
    fs::create_directory(outDir);
    if (c.prepare) c.prepare(outDir);
    const auto before = filesIn(outDir);
    if (!c.data.empty()) dir.write("v.z80", c.data);
    std::vector<std::string> arguments;
    for (const std::string& argument : c.arguments) {
        arguments.push_back(argument == "DATA"  ? dir.file("v.z80")
                            : argument == "OUT" ? outDir.string()
                                                : argument);
    }
    std::string message;
    try {
        std::ostringstream out;
        pack::runPack(pack::parsePackArguments(arguments), out);
        FAIL() << "packed: " << out.str();
    } catch (const std::runtime_error& error) {
        message = error.what();
    }
    for (const std::string& part : c.message)
        EXPECT_NE(message.find(part), std::string::npos) << message;
    EXPECT_EQ(filesIn(outDir), before);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, PackRunRefusal,
    testing::Values(
        RefusalCase{"MissingData", {"--output", "OUT", "DATA"}, "", {"v.z80", "No such file"}},
        RefusalCase{"MalformedData",
                    {"--output", "OUT", "DATA"},
                    " .db %00000000\r\n .db %0101\r\n",
                    {"v.z80:2:"}},
        RefusalCase{"RecordThatDoesNotDecode",
                    {"--output", "OUT", "DATA"},
                    dataLines(2, 0x09),
                    {"v.z80", "record 0"}},
        RefusalCase{"InvalidName", {"--name", "X-1", "DATA"}, dataLines(1), {"--name", "X-1"}},
        RefusalCase{"TooLargeForTheTi83",
                    {"--model", "ti83", "--output", "OUT", "DATA"},
                    dataLines(35),
                    {"v.z80", "26915 bytes", "at most 26000 bytes"}},
        RefusalCase{"MissingFolder", {"--output", "OUT/none", "DATA"}, dataLines(1), {"none"}},
        RefusalCase{"TargetThatCannotBeReplaced",
                    {"--output", "OUT", "DATA"},
                    dataLines(1),
                    {"V.8xg"},
                    [](const fs::path& out) { fs::create_directory(out / "V.8xg"); }}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
