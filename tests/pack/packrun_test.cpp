// kelvonar-pack's run: the files it writes, and every refusal with its message and no file left.

#include "packrun.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <sstream>

#include "animation.hpp"
#include "arguments.hpp"
#include "datalines.hpp"
#include "fileerror.hpp"
#include "tempdir.hpp"
#include "tifile.hpp"

namespace {

namespace fs = std::filesystem;

// count key records of code type 0, each screenBytes plain bytes (a 96 x 64 screen by default).
std::string dataLines(std::size_t count, std::uint8_t header = 0x00,
                      std::size_t screenBytes = 768) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t k = 0; k < count; ++k) {
        bytes.push_back(header);
        bytes.insert(bytes.end(), screenBytes, static_cast<std::uint8_t>(k % 100));
    }
    return testsupport::dataLines(bytes);
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
    std::ostringstream err;
    pack::runPack(pack::parsePackArguments({"--output", dir.file("out"), data}), out, err);

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
        pack::parsePackArguments({"--output", dir.file("out"), "--comment", "mine", data}), again,
        err);
    EXPECT_EQ(read("CLIP1.8xp").comment, "mine");
}

struct RefusalCase {
    const char* label;
    std::vector<std::string> arguments;  // DATA and OUT stand for the data file and the folder
    std::optional<std::string> data;     // none: no data file
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
    if (c.data) dir.write("v.z80", *c.data);
    std::vector<std::string> arguments;
    for (const std::string& argument : c.arguments) {
        arguments.push_back(argument == "DATA"            ? dir.file("v.z80")
                            : argument.starts_with("OUT") ? outDir.string() + argument.substr(3)
                                                          : argument);
    }
    std::string message;
    try {
        std::ostringstream out;
        std::ostringstream err;
        pack::runPack(pack::parsePackArguments(arguments), out, err);
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
        RefusalCase{
            "MissingData", {"--output", "OUT", "DATA"}, std::nullopt, {"v.z80", "No such file"}},
        RefusalCase{"EmptyData", {"--output", "OUT", "DATA"}, "", {"v.z80: no records"}},
        RefusalCase{"CanvasOtherThan96x64",
                    {"--output", "OUT", "DATA"},
                    dataLines(2, 0x00, 64 * 48 / 8),
                    {"v.z80: the records do not decode as 96 x 64 frames: record 1",
                     "convert with --canvas-size 96x64"}},
        RefusalCase{"TooLargeForTheArchive",
                    {"--output", "OUT", "DATA"},
                    dataLines(640),
                    {"v.z80", "492160 bytes", "--budget 489000 or less"}},
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
                    {"v.z80", "26915 bytes", "at most 26000 bytes", "--budget 23"}},
        RefusalCase{"FolderThatIsAFile",
                    {"--output", "OUT/file", "DATA"},
                    dataLines(1),
                    {"file: is not a folder"},
                    [](const fs::path& out) { std::ofstream(out / "file") << "x"; }},
        RefusalCase{"TargetThatCannotBeReplaced",
                    {"--output", "OUT", "DATA"},
                    dataLines(1),
                    {"V.8xg"},
                    [](const fs::path& out) { fs::create_directory(out / "V.8xg"); }}),
    [](const auto& info) { return std::string(info.param.label); });

// Every file of a folder and its bytes.
std::map<std::string, std::string> contentsOf(const fs::path& folder) {
    std::map<std::string, std::string> contents;
    for (const std::string& name : filesIn(folder))
        contents[name] = testsupport::TempDir::read((folder / name).string());
    return contents;
}

// Repacking a shorter video under the same name into a folder it creates: the files of the
// longer one that the shorter does not write go with the same commit, and a failure at any step
// of that commit leaves the longer video's files as they were.
TEST(PackRun, RepackReplacesTheWholeSetOrNothing) {
    testsupport::TempDir dir;
    const fs::path outDir = dir.path() / "new" / "out";
    // Over 64 KB: five AppVars and two groups.
    const std::string longer = dir.write("clip.z80", dataLines(90));
    const auto pack = [&](const std::function<void(const std::string&)>& beforeEach = {}) {
        std::ostringstream out;
        std::ostringstream err;
        pack::runPack(pack::parsePackArguments({"--output", outDir.string(), longer}), out, err,
                      beforeEach);
        return err.str();
    };
    pack();
    const std::string unrelated[] = {"CLIP.83p", "CLIP1.8xg", "CLIP-01.8xg", "CLIPS.8xp",
                                     "CLIP00.8xv"};
    for (const std::string& name : unrelated)
        std::ofstream(outDir / name) << "not ours";
    const auto older = contentsOf(outDir);
    EXPECT_EQ(filesIn(outDir), (std::vector<std::string>{
                                   "CLIP-01.8xg", "CLIP-1.8xg", "CLIP-2.8xg", "CLIP.83p",
                                   "CLIP.8xp", "CLIP0.8xv", "CLIP00.8xv", "CLIP1.8xg", "CLIP1.8xv",
                                   "CLIP2.8xv", "CLIP3.8xv", "CLIP4.8xv", "CLIPS.8xp"}));

    dir.write("clip.z80", dataLines(1));
    std::string removed;
    for (std::size_t failing = 0; removed.empty(); ++failing) {
        std::size_t step = 0;
        try {
            removed = pack([&](const std::string& target) {
                if (step++ == failing) throw support::FileError(target, "injected");
            });
        } catch (const support::FileError&) {
            ASSERT_EQ(contentsOf(outDir), older) << "failing step " << failing;
        }
    }
    auto now = older;
    for (const char* name : {"CLIP-1.8xg", "CLIP-2.8xg", "CLIP1.8xv", "CLIP2.8xv", "CLIP3.8xv",
                             "CLIP4.8xv", "CLIP.8xp", "CLIP0.8xv"})
        now.erase(name);
    auto left = contentsOf(outDir);
    for (const char* name : {"CLIP.8xp", "CLIP0.8xv", "CLIP.8xg"})
        EXPECT_EQ(left.erase(name), 1U) << name;
    EXPECT_EQ(left, now);
    for (const char* name : {"CLIP-1.8xg", "CLIP4.8xv"})
        EXPECT_NE(removed.find("removed " + (outDir / name).string()), std::string::npos)
            << removed;
}

}  // namespace
