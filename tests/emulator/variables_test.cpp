// Calculator variables put where the OS keeps them, and the OS's symbol search over them.

#include "variables.hpp"

#include <gtest/gtest.h>

#include <algorithm>

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
    Bytes entry;  // an archived variable: the byte before its entry, then the entry's first 16
};

Search search(const std::vector<Variable>& others, const std::string& name, std::uint8_t type,
              const emulator::ArchiveLayout& archive = {}) {
    // Copies the type and name after the code into OP1, searches, keeps DE and B at 0x9020, and
    // copies the archive entry's bytes (from the one before it) to 0x9000.
    Bytes full = {
        0x21, 0x00, 0x00,        // ld hl,the type and name after the code
        0x11, 0x78, 0x84,        // ld de,OP1
        0x01, 0x09, 0x00,        // ld bc,9
        0xED, 0xB0,              // ldir
        0xEF, 0xF1, 0x42,        // rst 0x28; .dw _ChkFindSym
        0xD8,                    // ret c
        0xED, 0x53, 0x20, 0x90,  // ld (0x9020),de
        0x78,                    // ld a,b
        0x32, 0x22, 0x90,        // ld (0x9022),a
        0xD3, 0x06,              // out (6),a
        0xEB,                    // ex de,hl
        0x2B,                    // dec hl
        0x11, 0x00, 0x90,        // ld de,0x9000
        0x01, 0x11, 0x00,        // ld bc,17
        0xED, 0xB0,              // ldir
        0xC9,                    // ret
    };
    const auto names = static_cast<std::uint16_t>(emulator::kProgramStart + full.size());
    full[1] = names & 0xFF;
    full[2] = names >> 8;
    full.push_back(type);
    for (std::size_t i = 0; i < 8; ++i)
        full.push_back(i < name.size() ? static_cast<std::uint8_t>(name[i]) : 0);
    std::vector<Variable> variables = {program(full)};
    variables.insert(variables.end(), others.begin(), others.end());
    emulator::Machine machine;
    emulator::installVariables(machine, variables, archive);
    const auto result = machine.run(100'000);
    EXPECT_TRUE(result.returned) << result.fault;
    Search s;
    s.found = (machine.registerValue(emulator::Register::AF) & 1) == 0;
    if (!s.found) return s;
    s.de = static_cast<std::uint16_t>(machine.readMemory(0x9020) | machine.readMemory(0x9021) << 8);
    s.page = machine.readMemory(0x9022);
    for (std::uint16_t i = 0; i < 17; ++i)
        s.entry.push_back(machine.readMemory(static_cast<std::uint16_t>(0x9000 + i)));
    return s;
}

TEST(ChkFindSym, FindsRamAndArchivedVariablesByNameAndType) {
    const std::vector<Variable> vars = {appVar("RAM", false, 100), appVar("ARC1", true, 20000),
                                        appVar("ARC2", true, 10), appVar("BIG", true, 40000)};
    const Search ram = search(vars, "RAM", pack::kAppVarType);
    ASSERT_TRUE(ram.found);
    EXPECT_EQ(ram.page, 0);
    EXPECT_EQ(ram.de, 0x9D95 + 45);  // after the program's 45 bytes

    // The first archived entry follows the deleted one in the first page; the second follows it
    // on the same page; the third, too long for the rest of the sector, starts the next sector
    // after its status byte.
    const Search first = search(vars, "ARC1", pack::kAppVarType);
    ASSERT_TRUE(first.found);
    EXPECT_EQ(first.page, emulator::kArchivePage);
    EXPECT_EQ(first.de, 0x4000 + emulator::kArchiveStart);
    const Search second = search(vars, "ARC2", pack::kAppVarType);
    ASSERT_TRUE(second.found);
    const std::size_t end = emulator::kArchiveStart + 10 + 4 + 20002;
    EXPECT_EQ(second.page, emulator::kArchivePage + static_cast<int>(end / emulator::kPageSize));
    EXPECT_EQ(second.de, 0x4000 + end % emulator::kPageSize);
    // Flag, length after it, type, type2, version, its own address and page, name, data.
    const Bytes header = {0xFC,
                          10 + 4 + 12 - 3,
                          0,
                          pack::kAppVarType,
                          0,
                          0,
                          static_cast<std::uint8_t>(second.de & 0xFF),
                          static_cast<std::uint8_t>(second.de >> 8),
                          static_cast<std::uint8_t>(second.page),
                          4,
                          'A',
                          'R',
                          'C',
                          '2',
                          10,
                          0};
    EXPECT_EQ(Bytes(second.entry.begin() + 1, second.entry.end()), header);
    const Search big = search(vars, "BIG", pack::kAppVarType);
    ASSERT_TRUE(big.found);
    EXPECT_EQ(big.page, emulator::kArchivePage + 4);
    EXPECT_EQ(big.de, 0x4001);
    EXPECT_EQ(big.entry[0], emulator::kSectorValid);
    EXPECT_EQ(big.entry[9], big.page);

    // An entry that ends its sector exactly: the next one starts the next sector all the same.
    const std::size_t rest = 4 * emulator::kPageSize - emulator::kArchiveStart;
    const Search after = search({appVar("FULL", true, rest - 10 - 4 - 2), appVar("NEXT", true, 1)},
                                "NEXT", pack::kAppVarType);
    EXPECT_EQ(after.page, emulator::kArchivePage + 4);
    EXPECT_EQ(after.de, 0x4001);
    EXPECT_EQ(after.entry.at(0), emulator::kSectorValid);

    // Another model's archive, from a later sector.
    const Search later = search(vars, "ARC1", pack::kAppVarType, {0x0C, 8});
    EXPECT_EQ(later.page, 0x0C);

    EXPECT_FALSE(search(vars, "ARC3", pack::kAppVarType).found);
    EXPECT_FALSE(search(vars, "RAM", pack::kProgramType).found);
}

struct RefusalCase {
    const char* label;
    std::vector<Variable> variables;
    const char* message;
    emulator::ArchiveLayout archive = {};
};

// The program, then count AppVars of size bytes each.
std::vector<Variable> many(std::size_t count, std::size_t size, bool archived) {
    std::vector<Variable> variables = {program({0xC9})};
    for (std::size_t i = 0; i < count; ++i) {
        variables.push_back({pack::kAppVarType, "V" + std::to_string(i), archived,
                             pack::sizedData(Bytes(size, 0))});
    }
    return variables;
}

class InstallRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(InstallRefusal, SaysWhy) {
    emulator::Machine machine;
    try {
        emulator::installVariables(machine, GetParam().variables, GetParam().archive);
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
        RefusalCase{"RamFull", {program({0xC9}), appVar("A", false, 30000)}, "more than RAM"},
        // Found by fuzzing: an AppVar cut short, and a symbol table whose size wrapped.
        RefusalCase{"AppVarShorterThanItsSize",
                    {program({0xC9}), Variable{pack::kAppVarType, "CUT", false, Bytes{5, 0, 1, 2}}},
                    "CUT says it holds 5 bytes, but holds 2"},
        RefusalCase{"AppVarWithoutSizeWord",
                    {program({0xC9}), Variable{pack::kAppVarType, "CUT", true, Bytes{5}}},
                    "CUT holds 1 bytes, less than its size word"},
        RefusalCase{"SymbolTablePastRam", many(6800, 1, false), "symbol entries"},
        RefusalCase{"ArchivedSymbolTablePastRam", many(6800, 1, true), "symbol entries"},
        RefusalCase{"LargerThanASector", many(1, pack::kMaxVariableData - 2, true),
                    "more than a sector holds"},
        RefusalCase{"ArchiveFull", many(4, 60000, true), "does not fit the archive"},
        RefusalCase{"PastTheEmulatedFlash",
                    many(14, 60000, true),
                    "does not fit the emulated flash",
                    {emulator::kArchivePage, emulator::kSeArchivePages}},
        RefusalCase{"ArchiveNotOnASector", many(1, 1, true), "must start a sector", {9, 14}}),
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
    const auto start = emulator::startSend9(machine, {appVar("A", false, 77), c.program});
    // The code lies where user memory starts; the variables, in order, follow it.
    EXPECT_EQ(start.hexCode, emulator::kTi83UserMemory);
    const Bytes text = pack::ti83HexPart("P");
    const auto digits = std::count_if(text.begin(), std::find(text.begin(), text.end(), 0xD4),
                                      [](std::uint8_t t) { return t != 0x3F; });
    const auto code = static_cast<std::size_t>(digits / 2);
    ASSERT_EQ(start.placed.size(), 2U);
    EXPECT_EQ(start.placed[0].address, emulator::kTi83UserMemory + code);
    EXPECT_EQ(start.placed[1].address, start.placed[0].address + 79);
    EXPECT_EQ(machine.readMemory(start.placed[1].address), c.program.data[0]);
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
    Bytes cut = pack::sizedData(text);
    cut.pop_back();
    for (const auto& [bytes, message] :
         {std::pair{pack::sizedData(badDigit), "no hex digit"},
          std::pair{pack::sizedData(noTail), "no End"}, std::pair{cut, "but holds"}}) {
        emulator::Machine machine(0, 1, emulator::MachineModel::Ti83);
        try {
            emulator::startSend9(machine, {Variable{pack::kProgramType, "P", false, bytes}});
            FAIL() << "started";
        } catch (const emulator::MachineError& error) {
            EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << error.what();
        }
    }
}

}  // namespace
