// Calculator variables put where the OS keeps them, and the OS's symbol search over them.

#include "calcfiles.hpp"

#include <gtest/gtest.h>

#include "packer.hpp"

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

// A TI-83 program: the hex part that finds the program named seek, then binary.
Variable ti83Program(const Bytes& binary, const char* seek = "P") {
    Bytes text = pack::ti83HexPart(seek);
    text.insert(text.end(), binary.begin(), binary.end());
    return {pack::kProgramType, "P", false, pack::sizedData(text)};
}

struct Send9Case {
    const char* label;
    Variable program;
    std::uint8_t marker;  // what the binary part left at 0x9000
    const char* fault;    // empty: returned
};

class Send9 : public testing::TestWithParam<Send9Case> {};

TEST_P(Send9, RunsTheHexPartWhichJumpsIntoTheProgram) {
    const Send9Case& c = GetParam();
    emulator::Machine machine(0, 1, emulator::MachineModel::Ti83);
    emulator::startSend9(machine, {appVar("A", false, 77), c.program});
    const auto result = machine.run(100'000);
    if (std::string(c.fault).empty()) {
        EXPECT_TRUE(result.returned) << result.fault;
    } else {
        EXPECT_NE(result.fault.find(c.fault), std::string::npos) << result.fault;
    }
    EXPECT_EQ(machine.readMemory(0x9000), c.marker);
}

// ld a,42; ld (0x9000),a, then what the case adds and ret.
Bytes marked(Bytes code) {
    code.insert(code.begin(), {0x3E, 42, 0x32, 0x00, 0x90});
    code.push_back(0xC9);
    return code;
}

INSTANTIATE_TEST_SUITE_P(
    Ti83, Send9,
    testing::Values(Send9Case{"FindsItself", ti83Program(marked({})), 42, ""},
                    Send9Case{"MissingProgramReturns", ti83Program(marked({}), "Q"), 0, ""},
                    Send9Case{"Port4HasNoStatus", ti83Program(marked({0xDB, 0x04})), 42, "port 4"},
                    Send9Case{"NoPagingPorts", ti83Program(marked({0xD3, 0x06})), 42, "port 6"},
                    Send9Case{"NoRst28Calls", ti83Program(marked({0xEF, 0xF1, 0x42})), 42,
                              "outside the program"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(Send9, RefusesAMalformedHexPart) {
    Bytes text = pack::ti83HexPart("P");
    Bytes badDigit = text;
    badDigit[0] = 'G';
    const Bytes noTail(text.begin(), text.begin() + 10);
    for (const auto& [bytes, message] :
         {std::pair{badDigit, "no hex digit"}, std::pair{noTail, "no End"}}) {
        emulator::Machine machine(0, 1, emulator::MachineModel::Ti83);
        try {
            emulator::startSend9(
                machine, {Variable{pack::kProgramType, "P", false, pack::sizedData(bytes)}});
            FAIL() << "started";
        } catch (const emulator::MachineError& error) {
            EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << error.what();
        }
    }
}

}  // namespace
