// Packing a video for the calculators: whole records in AppVars, where they go, the refusals.

#include <gtest/gtest.h>

#include <numeric>
#include <set>

#include "names.hpp"
#include "packer.hpp"
#include "tifile.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kProgram = {0xED, 0x73, 0x00, 0x00, 0xC9};

// Records of the given sizes; each record's bytes hold its number.
Bytes recordBytes(const std::vector<std::size_t>& sizes) {
    Bytes data;
    for (std::size_t k = 0; k < sizes.size(); ++k)
        data.insert(data.end(), sizes[k], static_cast<std::uint8_t>(k));
    return data;
}

std::vector<std::size_t> sizesOf(std::size_t count, std::size_t seed) {
    std::vector<std::size_t> sizes;
    for (std::size_t k = 0; k < count; ++k)
        sizes.push_back(1 + (k * 7919 + seed * 104729) % 2305);
    return sizes;
}

pack::PackRequest request(const char* name, bool archive = false) {
    return {pack::Model::Ti83Plus, name, "test", archive};
}

TEST(PackTi83Plus, PutsWholeRecordsInNamedAppVarsAndGroupsThemAll) {
    const auto sizes = sizesOf(200, 1);  // about 230 KB
    const Bytes data = recordBytes(sizes);
    const auto files = pack::packVideo(request("LONGNAME"), kProgram, data, sizes);

    // NAME.8xp, the AppVars, then the groups.
    ASSERT_GE(files.size(), 4U);
    EXPECT_EQ(files[0].fileName, "LONGNAME.8xp");
    const pack::CalcFile program = pack::readCalcFile(files[0].bytes, files[0].fileName);
    const Bytes& content = program.variables.at(0).data;
    ASSERT_TRUE(std::equal(kProgram.begin(), kProgram.end(), content.begin() + 4));
    const auto names =
        pack::appVarTable(Bytes(content.begin() + 4, content.end()), kProgram.size());

    Bytes joined;
    std::set<std::size_t> boundaries = {0};
    std::size_t end = 0;
    for (const std::size_t size : sizes)
        boundaries.insert(end += size);
    for (std::size_t k = 0; k < names.size(); ++k) {
        EXPECT_EQ(names[k], "LONGNAM" + std::string(1, "0123456789ABCDEF"[k]));
        const auto& file = files.at(1 + k);
        EXPECT_EQ(file.fileName, names[k] + ".8xv");
        const pack::Variable appVar = pack::readCalcFile(file.bytes, file.fileName).variables.at(0);
        EXPECT_EQ(appVar.type, pack::kAppVarType);
        EXPECT_TRUE(appVar.archived);
        EXPECT_LE(appVar.data.size() - 2, pack::kAppVarRecords);
        joined.insert(joined.end(), appVar.data.begin() + 2, appVar.data.end());
        EXPECT_TRUE(boundaries.count(joined.size())) << "AppVar " << k << " cuts a record";
    }
    EXPECT_EQ(joined, data);

    // Every variable is in exactly one group, each group within a file's 16-bit length.
    std::size_t grouped = 0;
    for (std::size_t g = 1 + names.size(); g < files.size(); ++g) {
        EXPECT_EQ(files[g].fileName, "LONGNAME-" + std::to_string(g - names.size()) + ".8xg");
        grouped += pack::readCalcFile(files[g].bytes, files[g].fileName).variables.size();
    }
    EXPECT_EQ(grouped, 1 + names.size());
}

struct PlaceCase {
    const char* label;
    std::size_t bytes;
    bool archive;
    bool archived;
    std::size_t files;  // 8xp, 8xv..., 8xg
};

class PackPlacement : public testing::TestWithParam<PlaceCase> {};

TEST_P(PackPlacement, KeepsRamVideosInRamUnlessAskedAndOneGroup) {
    const PlaceCase& c = GetParam();
    std::vector<std::size_t> sizes(c.bytes / 1000, 1000);
    const Bytes data = recordBytes(sizes);
    const auto files = pack::packVideo(request("V", c.archive), kProgram, data, sizes);
    ASSERT_EQ(files.size(), c.files);
    EXPECT_EQ(files.back().fileName, "V.8xg");
    const pack::CalcFile group = pack::readCalcFile(files.back().bytes, "V.8xg");
    ASSERT_EQ(group.variables.size(), c.files - 1);
    EXPECT_FALSE(group.variables[0].archived);
    for (std::size_t k = 1; k < group.variables.size(); ++k)
        EXPECT_EQ(group.variables[k].archived, c.archived);
    // The same input gives the same bytes.
    const auto again = pack::packVideo(request("V", c.archive), kProgram, data, sizes);
    for (std::size_t k = 0; k < files.size(); ++k)
        EXPECT_EQ(again[k].bytes, files[k].bytes);
}

INSTANTIATE_TEST_SUITE_P(Budget, PackPlacement,
                         testing::Values(PlaceCase{"Small", 3000, false, false, 3},
                                         PlaceCase{"SmallArchived", 3000, true, true, 3},
                                         PlaceCase{"WithinRam", 23000, false, false, 4},
                                         PlaceCase{"RamWithoutTheProgramsCopy", 24000, false, true,
                                                   4}),
                         [](const auto& info) { return std::string(info.param.label); });

struct RefusalCase {
    const char* label;
    pack::Model model;
    std::vector<std::size_t> sizes;
    std::vector<std::string> message;
};

class PackRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(PackRefusal, SaysWhyWithSizeAndLimit) {
    const RefusalCase& c = GetParam();
    const Bytes data = recordBytes(c.sizes);
    try {
        pack::packVideo({c.model, "V", "", false}, kProgram, data, c.sizes);
        FAIL() << "packed";
    } catch (const pack::PackError& error) {
        for (const std::string& part : c.message)
            EXPECT_NE(std::string(error.what()).find(part), std::string::npos) << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Limits, PackRefusal,
    testing::Values(
        RefusalCase{"PastTheArchive",
                    pack::Model::Ti83Plus,
                    std::vector<std::size_t>(492, 1000),
                    {"492000 bytes", "491520 bytes"}},
        RefusalCase{"PastTi83Ram",
                    pack::Model::Ti83,
                    std::vector<std::size_t>(27, 1000),
                    {"27000 bytes", "RAM of a TI-83", "26000 bytes"}},
        RefusalCase{"RecordPastAnAppVar", pack::Model::Ti83Plus, {100, 16001}, {"16001 bytes"}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(PackTi83, RefusesAProgramPastTheRam) {
    // The records pass, but with the hex part and a player of 1,100 bytes the program does not.
    const std::vector<std::size_t> sizes(26, 1000);
    const Bytes data = recordBytes(sizes);
    try {
        pack::packVideo({pack::Model::Ti83, "V", "", false}, Bytes(1100, 0), data, sizes);
        FAIL() << "packed";
    } catch (const pack::PackError& error) {
        EXPECT_NE(std::string(error.what()).find("RAM of a TI-83 (at most 27000 bytes)"),
                  std::string::npos)
            << error.what();
    }
}

struct MovedCase {
    const char* label;
    Bytes code, byPage, byOne;
    std::vector<std::uint16_t> words;  // empty with throws
    bool throws = false;
};

class Ti83Relocations : public testing::TestWithParam<MovedCase> {};

TEST_P(Ti83Relocations, FindTheWholeAddresses) {
    const MovedCase& c = GetParam();
    if (c.throws) {
        EXPECT_THROW(pack::relocations(c.code, c.byPage, c.byOne), pack::PackError);
    } else {
        EXPECT_EQ(pack::relocations(c.code, c.byPage, c.byOne), c.words);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Builds, Ti83Relocations,
    testing::Values(
        // jp 0x0005, ld hl,0x00FF (its low byte carries at 1), ld a,5
        MovedCase{"TwoAddresses",
                  {0xC3, 0x05, 0x00, 0x21, 0xFF, 0x00, 0x3E, 0x05},
                  {0xC3, 0x05, 0x01, 0x21, 0xFF, 0x01, 0x3E, 0x05},
                  {0xC3, 0x06, 0x00, 0x21, 0x00, 0x01, 0x3E, 0x05},
                  {1, 4}},
        // ld a,label >> 8: a high byte alone cannot be moved as a word
        MovedCase{
            "HighByteAlone", {0x3E, 0x00, 0x00}, {0x3E, 0x01, 0x00}, {0x3E, 0x00, 0x00}, {}, true},
        MovedCase{"LowByteAlone", {0x3E, 0x05}, {0x3E, 0x05}, {0x3E, 0x06}, {}, true},
        MovedCase{"Lengths", {0x00}, {0x00, 0x00}, {0x00}, {}, true}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(PackTi83Plus, RefusesSizesThatDoNotCoverTheData) {
    const Bytes data(10, 0);
    const std::vector<std::size_t> sizes = {4, 5};
    EXPECT_THROW(pack::packVideo(request("V"), kProgram, data, sizes), pack::PackError);
}

struct NameCase {
    const char* text;
    const char* problem;  // empty: valid
};

class VariableNames : public testing::TestWithParam<NameCase> {};

TEST_P(VariableNames, FollowTheCalculatorsRules) {
    const std::string problem = pack::nameProblem(GetParam().text);
    if (std::string(GetParam().problem).empty()) {
        EXPECT_EQ(problem, "");
    } else {
        EXPECT_NE(problem.find(GetParam().problem), std::string::npos) << problem;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, VariableNames,
    testing::Values(NameCase{"A", ""}, NameCase{"ABCDEFG8", ""}, NameCase{"", "1 to 8"},
                    NameCase{"ABCDEFGHI", "more than 8"}, NameCase{"9LIVES", "start with A-Z"},
                    NameCase{"abc", "start with A-Z"}, NameCase{"AB-C", "other than A-Z"}));

TEST(VariableNames, AreMadeValidFromTheDataFilesName) {
    EXPECT_EQ(pack::nameFromPath("dir.x/my.z80"), "MY");
    EXPECT_EQ(pack::nameFromPath("/t/2 bouncing-balls_v3.z80"), "BOUNCING");
    EXPECT_EQ(pack::nameFromPath("clip9.z80"), "CLIP9");
    EXPECT_EQ(pack::nameFromPath("123.z80"), "VIDEO");
    EXPECT_EQ(pack::nameFromPath("été.z80"), "T");
}

}  // namespace
