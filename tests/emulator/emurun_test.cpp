#include "emurun.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "datalines.hpp"
#include "fileerror.hpp"
#include "program.hpp"
#include "tempdir.hpp"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A stand-in player: finds the AppVar DATA0, takes each of its records as 13 bytes, shows a frame
// per record without drawing, then clears the screen through the OS and returns.
const Bytes kStandIn = {
    0x21, 0xBD, 0x9D,                           // ld hl,name
    0x11, 0x78, 0x84,                           // ld de,OP1
    0x01, 0x09, 0x00,                           // ld bc,9
    0xED, 0xB0,                                 // ldir
    0xEF, 0xF1, 0x42,                           // rst 0x28; .dw _ChkFindSym
    0xEB,                                       // ex de,hl
    0x4E, 0x23, 0x46, 0x23,                     // ld c,(hl); inc hl; ld b,(hl); inc hl
    0x78, 0xB1,                                 // frame_begin (0x9DA8): ld a,b; or c
    0x28, 0x0D,                                 // jr z,done
    0x11, 0x0D, 0x00, 0x19,                     // ld de,13; add hl,de
    0x79, 0xD6, 0x0D, 0x4F,                     // ld a,c; sub 13; ld c,a
    0x30, 0x01, 0x05,                           // jr nc,+1; dec b
    0x18, 0xEF,                                 // frame_shown (0x9DB7): jr frame_begin
    0xEF, 0x40, 0x45,                           // done: rst 0x28; .dw _ClrLCDFull
    0xC9,                                       // ret
    0x15, 'D',  'A',  'T',  'A', '0', 0, 0, 0,  // name: AppVar DATA0, as data.z80 is packed
};
const char* const kStandInSymbols =
    "00009da8 T frame_begin\n00009db7 T frame_shown\n00009dc6 T player_data\n";

// Three key records of code type 0, each a whole light screen of byte runs.
std::string dataLines() {
    Bytes bytes;
    for (int k = 0; k < 3; ++k) {
        bytes.push_back(0x00);
        for (int run = 0; run < 3; ++run)
            bytes.insert(bytes.end(), {145, 0x00, 255});
        bytes.insert(bytes.end(), {0, 0, 0});
    }
    return testsupport::dataLines(bytes);
}

void writeText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class EmuRun : public testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(m_dir / "canvases");
        writeText(m_dir / "data.z80", dataLines());
        writeProgram(kStandIn);
        writeText(m_dir / "player.sym", kStandInSymbols);
        for (int k = 0; k < 3; ++k)
            writeCanvas(k, false);
    }
    // Writes code, padded to the stand-in's length so that its symbols still fit.
    void writeProgram(Bytes code) {
        code.resize(std::max(code.size(), kStandIn.size()), 0);
        writeText(m_dir / "player.bin", std::string(code.begin(), code.end()));
    }
    void writeCanvas(int frame, bool darkCorner) {
        std::string pbm = "P4\n96 64\n" + std::string(768, '\0');
        if (darkCorner) pbm[9] = '\x80';
        writeText(m_dir / "canvases" / ("0000000" + std::to_string(frame) + ".pbm"), pbm);
    }
    int run(std::vector<std::string> arguments) {
        arguments.insert(arguments.end(),
                         {"--player", (m_dir / "player.bin").string(), "--symbols",
                          (m_dir / "player.sym").string(), (m_dir / "data.z80").string()});
        return runBuiltIn(arguments);
    }
    // A run of the player built into kelvonar-emu on arguments.
    int runBuiltIn(const std::vector<std::string>& arguments) {
        std::ostringstream out;
        std::ostringstream err;
        const int status = emulator::runEmu(emulator::parseEmuArguments(arguments), out, err);
        m_out = out.str();
        m_err = err.str();
        return status;
    }
    std::string path(const char* name) const { return (m_dir / name).string(); }

    testsupport::TempDir m_temp;
    const fs::path& m_dir = m_temp.path();
    std::string m_out;
    std::string m_err;
};

TEST_F(EmuRun, RunsTheProgramAndWritesTheCycles) {
    ASSERT_EQ(run({"--cycles", path("cycles.csv"), "--frames", path("frames"), "--check",
                   path("canvases")}),
              support::kExitDone)
        << m_err;
    EXPECT_NE(m_out.find("frames shown: 3 of 3\n"), std::string::npos) << m_out;
    EXPECT_NE(m_out.find("OS state restored: yes\n"), std::string::npos) << m_out;
    std::ifstream csv(path("cycles.csv"));
    std::stringstream text;
    text << csv.rdbuf();
    // ld a,b; or c; jr z (not taken); ld de; add hl,de; ld a,c; sub; ld c,a; jr nc (taken)
    EXPECT_EQ(
        text.str(),
        "frame,code_type,code_name,used,waited\n0,0,NRLE,63,12\n1,0,NRLE,63,12\n2,0,NRLE,63,12\n");
    EXPECT_EQ(fs::file_size(m_dir / "frames" / "00000002.pbm"), 9U + 768U);
}

TEST_F(EmuRun, CheckFailsOnAFrameThatDiffersUnlessLossyAllowsIt) {
    writeCanvas(1, true);
    EXPECT_EQ(run({"--check", path("canvases")}), support::kExitFailed);
    EXPECT_NE(m_err.find("do not match"), std::string::npos) << m_err;
    EXPECT_EQ(run({"--check", path("canvases"), "--lossy"}), support::kExitDone) << m_err;
    writeCanvas(0, true);
    EXPECT_EQ(run({"--check", path("canvases"), "--lossy"}), support::kExitFailed);
}

TEST_F(EmuRun, FailsWhenTheProgramLeavesTheOsStateWrong) {
    writeProgram({0xF3, 0xC9});  // di; ret
    EXPECT_EQ(run({}), support::kExitFailed);
    EXPECT_NE(m_err.find("interrupts disabled"), std::string::npos) << m_err;
    EXPECT_NE(m_err.find("showed 0 frames of 3"), std::string::npos) << m_err;
}

TEST_F(EmuRun, TakesOneDataFileOnly) {
    writeText(m_dir / "b.z80", dataLines());
    EXPECT_THROW(run({path("b.z80")}), support::FileError);
}

TEST_F(EmuRun, FailsOnAFault) {
    writeProgram({0x32, 0x00, 0x00, 0xC9});  // ld (0x0000),a
    EXPECT_EQ(run({"--cycles", path("cycles.csv")}), support::kExitFailed);
    EXPECT_NE(m_err.find("fault: write of"), std::string::npos) << m_err;
}

// What files and flags that once went wrong now give: the good records before a bad one are
// played and counted, a damaged calculator file is refused as one, a file for another model too.
TEST_F(EmuRun, RefusesOrPlaysWhatWentWrongBefore) {
    std::string bad = dataLines() + " .db %01111111\r\n";
    writeText(m_dir / "bad.z80", bad);
    EXPECT_EQ(runBuiltIn({path("bad.z80")}), support::kExitFailed);
    EXPECT_NE(m_out.find("frames shown: 3 of 3\n"), std::string::npos) << m_out;
    EXPECT_NE(m_err.find("do not decode: "), std::string::npos) << m_err;
    EXPECT_EQ(m_err.find("fault"), std::string::npos) << m_err;

    writeText(m_dir / "x.8xp", "**TI8X**\x1a\x0a" + std::string(60, '\0'));
    EXPECT_THROW(
        {
            try {
                runBuiltIn({path("x.8xp")});
            } catch (const support::FileError& error) {
                EXPECT_NE(std::string(error.what()).find("x.8xp"), std::string::npos);
                throw;
            }
        },
        support::FileError);
}

struct UsageCase {
    std::string name;
    std::vector<std::string> arguments;
    std::string message;
    friend void PrintTo(const UsageCase& c, std::ostream* out) { *out << c.name; }
};

class EmuUsage : public testing::TestWithParam<UsageCase> {};

TEST_P(EmuUsage, RefusesTheCommandLine) {
    try {
        emulator::parseEmuArguments(GetParam().arguments);
        FAIL() << "accepted";
    } catch (const support::UsageError& error) {
        EXPECT_NE(std::string(error.what()).find(GetParam().message), std::string::npos)
            << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, EmuUsage,
    testing::Values(
        UsageCase{"NoData", {}, "no data file"},
        UsageCase{
            "Ti83WithProgram", {"--model", "ti83", "--player", "p.bin", "a.83p"}, "--symbols only"},
        UsageCase{"OtherModel", {"--model", "ti84", "a.8xp"}, "ti83plus, ti84plus, ti83 or ti82"},
        UsageCase{"LossyAlone", {"--lossy", "a.z80"}, "--lossy goes with --check"},
        UsageCase{"ProgramAlone", {"--player", "p.bin", "a.z80"}, "go together"},
        UsageCase{"ZeroHz", {"--hz", "0", "a.z80"}, "--hz needs a whole number"},
        UsageCase{"NoProgramRunsSoFast", {"--hz", "100000", "a.z80"}, "--hz"},
        UsageCase{"OutputOverData", {"--cycles", "a.z80", "a.z80"}, "replace the input"},
        UsageCase{"Unknown", {"--fast", "a.z80"}, "--fast"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
