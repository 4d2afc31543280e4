// Calculator variables put where the OS keeps them, and the OS's symbol search over them.

#include "calcfiles.hpp"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;
using pack::Variable;

Variable program(Bytes code, const char* name = "P") {
    code.insert(code.begin(), {0xBB, 0x6D});
    return {pack::kProtectedProgramType, name, false, pack::sizedData(code)};
}

Variable appVar(const char* name, bool archived, std::size_t size) {
    return {pack::kAppVarType, name, archived, pack::sizedData(Bytes(size, 0x5A))};
}

struct Search {
    bool found = false;
    int page = 0;
    std::uint16_t de = 0;
};

Search search(const std::vector<Variable>& others, const std::string& name, std::uint8_t type) {
    // Copies the type and name after the code into OP1, searches, and returns to the OS.
    Bytes full = {
        0x21, 0xA4, 0x9D,  // ld hl,0x9DA4: the type and name after the ret
        0x11, 0x78, 0x84,  // ld de,OP1
        0x01, 0x09, 0x00,  // ld bc,9
        0xED, 0xB0,        // ldir
        0xEF, 0xF1, 0x42,  // rst 0x28; .dw _ChkFindSym
        0xC9,              // ret
    };
    full.push_back(type);
    for (std::size_t i = 0; i < 8; ++i)
        full.push_back(i < name.size() ? static_cast<std::uint8_t>(name[i]) : 0);
    std::vector<Variable> variables = {program(full)};
    variables.insert(variables.end(), others.begin(), others.end());
    emulator::Machine machine;
    emulator::installVariables(machine, variables);
    const auto result = machine.run(100'000);
    EXPECT_TRUE(result.returned) << result.fault;
    Search s;
    s.found = (machine.registerValue(emulator::Register::AF) & 1) == 0;
    s.page = machine.registerValue(emulator::Register::BC) >> 8;
    s.de = machine.registerValue(emulator::Register::DE);
    return s;
}

TEST(ChkFindSym, FindsRamAndArchivedVariablesByNameAndType) {
    const std::vector<Variable> vars = {appVar("RAM", false, 100), appVar("ARC1", true, 20000),
                                        appVar("ARC2", true, 10)};
    const Search ram = search(vars, "RAM", pack::kAppVarType);
    ASSERT_TRUE(ram.found);
    EXPECT_EQ(ram.page, 0);
    EXPECT_EQ(ram.de, 0x9D95 + 24);  // after the program's code

    // The first archived entry follows the deleted one; the second starts on the next page.
    const Search first = search(vars, "ARC1", pack::kAppVarType);
    ASSERT_TRUE(first.found);
    EXPECT_EQ(first.page, emulator::kArchivePage);
    EXPECT_EQ(first.de, 0x4000 + emulator::kArchiveStart);
    const Search second = search(vars, "ARC2", pack::kAppVarType);
    ASSERT_TRUE(second.found);
    const std::size_t end = emulator::kArchiveStart + 10 + 4 + 20002;
    EXPECT_EQ(second.page, emulator::kArchivePage + static_cast<int>(end / emulator::kPageSize));
    EXPECT_EQ(second.de, 0x4000 + end % emulator::kPageSize);

    EXPECT_FALSE(search(vars, "ARC3", pack::kAppVarType).found);
    EXPECT_FALSE(search(vars, "RAM", pack::kProgramType).found);
}

struct RefusalCase {
    const char* label;
    std::vector<Variable> variables;
    const char* message;
};

class InstallRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(InstallRefusal, SaysWhy) {
    emulator::Machine machine;
    try {
        emulator::installVariables(machine, GetParam().variables);
        FAIL() << "installed";
    } catch (const emulator::MachineError& error) {
        EXPECT_NE(std::string(error.what()).find(GetParam().message), std::string::npos)
            << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Variables, InstallRefusal,
    testing::Values(
        RefusalCase{"NoProgram", {appVar("A", false, 1)}, "no program"},
        RefusalCase{"TwoPrograms", {program({0xC9}, "P"), program({0xC9}, "Q")}, "two programs"},
        RefusalCase{"SameName",
                    {program({0xC9}), appVar("A", false, 1), appVar("A", true, 1)},
                    "two variables named A"},
        RefusalCase{"ArchivedProgram",
                    {Variable{pack::kProgramType, "P", true, pack::sizedData(Bytes{0xBB, 0x6D})}},
                    "archived"},
        RefusalCase{"NotAssembly",
                    {Variable{pack::kProgramType, "P", false, pack::sizedData(Bytes{0x41})}},
                    "not an assembly program"},
        RefusalCase{"RamFull", {program({0xC9}), appVar("A", false, 30000)}, "more than RAM"}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
