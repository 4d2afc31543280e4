// Videos packed for the 83 Plus family and the TI-83, loaded from their files as the calculator
// holds them and played by the assembled player in the emulated calculator: every frame the LCD
// shows equals kelvonar-play's decoding, from RAM and from the archive, across flash pages and
// AppVars, and on the TI-83 wherever its program lies.

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <set>

#include "animation.hpp"
#include "calcprograms.hpp"
#include "conversions.hpp"
#include "datafile.hpp"
#include "framedecoder.hpp"
#include "models.hpp"
#include "packer.hpp"
#include "played.hpp"
#include "process.hpp"
#include "symbols.hpp"
#include "tempdir.hpp"
#include "tifile.hpp"
#include "tifunctions.hpp"
#include "variables.hpp"

namespace {

namespace fs = std::filesystem;
using TIFunctions::BitString;

constexpr std::uint64_t kWorstFrameT = 450'000;
constexpr std::uint64_t kTStatesPerFrame = 2'000'000;

using testsupport::Played;

// A player's code up to player_data and its labels; the TI-83 player also linked 0x100 and 1
// further, from which the packer finds the words to move.
struct ProgramBuild {
    std::vector<std::uint8_t> code;
    std::vector<std::uint8_t> movedBy100;
    std::vector<std::uint8_t> movedBy1;
    pack::ProgramLabels labels;
};

std::vector<std::uint8_t> bytesOf(std::span<const std::uint8_t> span) {
    return {span.begin(), span.end()};
}

// The player this build carries for model.
const ProgramBuild& programOf(pack::Model model) {
    static const ProgramBuild family = {bytesOf(pack::builtProgram(pack::Model::Ti83Plus)),
                                        {},
                                        {},
                                        pack::builtProgramLabels(pack::Model::Ti83Plus)};
    static const ProgramBuild ti83 = {bytesOf(pack::builtProgram(pack::Model::Ti83)),
                                      bytesOf(pack::builtProgramMoved(pack::Model::Ti83, 0x100)),
                                      bytesOf(pack::builtProgramMoved(pack::Model::Ti83, 1)),
                                      pack::builtProgramLabels(pack::Model::Ti83)};
    return model == pack::Model::Ti83 ? ti83 : family;
}

// The player of model assembled with the probe switch probe, read from the build folder.
ProgramBuild probeProgram(pack::Model model, const std::string& probe) {
    const fs::path dir = KELVONAR_PROGRAM_PROBE_DIR;
    const std::string stem = model == pack::Model::Ti83 ? "player-ti83-" + probe + "-0x0000"
                                                        : "player-ti83plus-" + probe;
    const emulator::Symbols symbols = emulator::Symbols::read((dir / (stem + ".sym")).string());
    const std::uint16_t origin = model == pack::Model::Ti83 ? 0 : pack::kAsmProgramStart;
    const std::size_t length = symbols.at("player_data") - origin;
    const auto code = [&](const std::string& name) {
        const std::string text = testprocess::slurp(dir / name);
        EXPECT_GE(text.size(), length) << name;
        return std::vector<std::uint8_t>(
            text.begin(),
            text.begin() + static_cast<std::ptrdiff_t>(std::min(text.size(), length)));
    };
    ProgramBuild build{code(stem + ".bin"), {}, {}, {}};
    if (model == pack::Model::Ti83) {
        build.movedBy100 = code("player-ti83-" + probe + "-0x0100.bin");
        build.movedBy1 = code("player-ti83-" + probe + "-0x0001.bin");
    }
    build.labels = {symbols.at("frame_begin"), symbols.at("frame_shown"),
                    symbols.at("frame_waited"), symbols.at("player_data")};
    return build;
}

// What the emulated calculator does besides running the program.
struct Conditions {
    std::vector<emulator::Key> heldKeys{};
    std::optional<std::uint32_t> powerDownTicks{};  // default: as the OS counts
    std::optional<double> timerHz{};                // default: the model's slowest timer
};

emulator::MachineModel machineModel(const pack::CalculatorModel& model) {
    if (model.layout == pack::Model::Ti83) return emulator::MachineModel::Ti83;
    return model.speedPort ? emulator::MachineModel::Ti84Plus : emulator::MachineModel::Ti83Plus;
}

// Runs machine, whose program's labels lie labelBase from where they were linked, for frames
// records.
Played runMachine(emulator::Machine& machine, const pack::ProgramLabels& labels,
                  std::uint16_t labelBase, std::size_t frames, const Conditions& conditions) {
    machine.setFrameLabels(static_cast<std::uint16_t>(labelBase + labels.frameBegin),
                           static_cast<std::uint16_t>(labelBase + labels.frameShown),
                           static_cast<std::uint16_t>(labelBase + labels.frameWaited));
    for (const emulator::Key key : conditions.heldKeys)
        machine.holdKey(key);
    if (conditions.powerDownTicks) machine.setPowerDownTicks(*conditions.powerDownTicks);
    Played played;
    machine.onFrameShown([&](const auto&) { played.shown.push_back(machine.lcdPicture()); });
    played.result = machine.run(kTStatesPerFrame * (frames + 4));
    played.frames = machine.frames();
    played.exit = machine.exitCheck();
    played.gapViolations = machine.lcd().gapViolations();
    played.smallestGap = machine.lcd().smallestGap();
    return played;
}

// A data file's bytes, its records' sizes and the screen after each record.
struct Decoded {
    std::vector<std::uint8_t> bytes;
    std::vector<std::size_t> sizes;
    std::vector<BitString> screens;
};

Decoded decodeDataFile(const std::string& path) {
    Decoded decoded{player::readDataFile(path), {}, {}};
    for (const auto& record :
         TIFunctions::decodeRecords(decoded.bytes, player::ScreenSize{}.pixels())) {
        decoded.sizes.push_back(record.size);
        decoded.screens.push_back(record.screen);
    }
    return decoded;
}

// Packs records (of sizes) for the 83 Plus family with player and plays them from the group
// files on model, as a calculator that received them runs the program.
Played packAndPlay(const pack::CalculatorModel& model, const ProgramBuild& calcProgram,
                   std::span<const std::uint8_t> records, std::span<const std::size_t> sizes,
                   bool archive, const Conditions& conditions = {}) {
    const auto files = pack::packVideo({pack::Model::Ti83Plus, "CLIP", "test", archive},
                                       calcProgram.code, records, sizes);
    std::vector<pack::Variable> variables;
    for (const auto& file : files) {
        if (!file.fileName.ends_with(".8xg")) continue;
        for (auto& variable : pack::readCalcFile(file.bytes, file.fileName).variables)
            variables.push_back(std::move(variable));
    }
    emulator::Machine machine(conditions.timerHz.value_or(pack::slowestTimer(model)), 1,
                              machineModel(model));
    const auto placed = emulator::installVariables(machine, variables,
                                                   {model.firstArchivePage, model.archivePages});
    Played played = runMachine(machine, calcProgram.labels, 0, sizes.size(), conditions);
    played.placed = placed;
    return played;
}

// As above, the records of the data file at path; expected gets their decoding.
Played packAndPlay(const std::string& path, bool archive, std::vector<BitString>& expected,
                   const char* model = "ti83plus") {
    Decoded decoded = decodeDataFile(path);
    expected = decoded.screens;
    return packAndPlay(*pack::findModel(model), programOf(pack::Model::Ti83Plus), decoded.bytes,
                       decoded.sizes, archive);
}

void expectPlayedExactly(const Played& played, const std::vector<BitString>& expected) {
    ASSERT_TRUE(played.result.returned) << played.result.fault;
    ASSERT_EQ(played.shown.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k)
        ASSERT_EQ(played.shown[k], expected[k]) << "frame " << k;
    for (const auto& frame : played.frames)
        EXPECT_LE(frame.used(), kWorstFrameT) << "frame " << frame.frame;
    EXPECT_EQ(played.gapViolations, 0U);
    EXPECT_TRUE(played.exit.all()) << emulator::exitProblems(played.exit);
}

// The AppVars' flash pages: every one in the archive when archived, none otherwise.
std::set<int> appVarPages(const Played& played, bool archived) {
    std::set<int> pages;
    for (std::size_t k = 1; k < played.placed.size(); ++k) {
        const auto& p = played.placed[k];
        EXPECT_EQ(p.page != 0, archived) << p.variable.name;
        if (p.page == 0) continue;
        const std::size_t end =
            (p.address - 0x4000) + 10 + p.variable.name.size() + p.variable.data.size();
        for (int page = p.page; page <= p.page + static_cast<int>(end / emulator::kPageSize);
             ++page)
            pages.insert(page);
    }
    return pages;
}

// Every clip and job of the conversions fixture on each model of the 83 Plus family, from RAM
// and from the archive, under the strict rules.
class FamilyPlayback : public testing::TestWithParam<
                           std::tuple<const char*, bool, const char*, testconversions::Job>> {};

TEST_P(FamilyPlayback, ShowsEveryDecodedFrame) {
    const auto& [model, archive, clip, job] = GetParam();
    KELVONAR_CONVERSION(conversion, clip, job.name);
    const std::string path = conversion.data().string();
    const Decoded decoded = decodeDataFile(path);
    const Played played = packAndPlay(*pack::findModel(model), programOf(pack::Model::Ti83Plus),
                                      decoded.bytes, decoded.sizes, archive);
    expectPlayedExactly(played, decoded.screens);
    if (archive) appVarPages(played, true);
}

INSTANTIATE_TEST_SUITE_P(Clips, FamilyPlayback,
                         testing::Combine(testing::Values("ti83plus", "ti84plus"), testing::Bool(),
                                          testing::ValuesIn(testconversions::kClips),
                                          testing::ValuesIn(testconversions::kJobs)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param)) +
                                    (std::get<1>(info.param) ? "Archive" : "Ram") +
                                    testconversions::caseName(std::get<2>(info.param),
                                                              std::get<3>(info.param).name);
                         });

TEST(RamPlayback, ShowsEveryFrameOfTheSample) {
    KELVONAR_CONVERSION(conversion, "bounce.mp4", "Interlaced");
    std::vector<BitString> expected;
    const Played played = packAndPlay(conversion.data().string(), false, expected);
    expectPlayedExactly(played, expected);
    EXPECT_TRUE(appVarPages(played, false).empty());
}

// A video far larger than RAM: a generated clip converted with a large budget plays from the
// archive, its records spread over several AppVars and flash pages.
TEST(ArchivePlayback, PlaysAVideoFarLargerThanRam) {
    if (std::string(KELVONAR_FFMPEG).empty()) GTEST_SKIP() << "ffmpeg not found";
    testsupport::TempDir dir;
    const std::string video = dir.file("long.mp4");
    ASSERT_EQ(testprocess::run(KELVONAR_FFMPEG, {"-v", "error", "-f", "lavfi", "-i",
                                                 "testsrc=duration=180:size=192x128:rate=10",
                                                 "-pix_fmt", "yuv420p", video})
                  .status,
              0);
    std::string job = testprocess::slurp(testconversions::kSourceDir / "samples/thisjob.ini");
    job.replace(job.find("freemem = 24000"), 15, "freemem = 400000");
    job.insert(job.find("[media]\r\n") + 9, "interlace=0\r\n");
    dir.write("job.ini", job);
    const auto converted = testprocess::run(
        KELVONAR_EXECUTABLE,
        {"--headless", "--job", dir.file("job.ini"), "--output", dir.file("my.z80"), video});
    ASSERT_EQ(converted.status, 0) << converted.err;

    std::vector<BitString> expected;
    // More than the TI-83 Plus's archive holds: the TI-84 Plus's.
    const Played played = packAndPlay(dir.file("my.z80"), false, expected, "ti84plus");
    expectPlayedExactly(played, expected);
    std::size_t records = 0;
    for (std::size_t k = 1; k < played.placed.size(); ++k)
        records += played.placed[k].variable.data.size() - 2;
    EXPECT_GE(records, 150'000U);
    EXPECT_GE(played.placed.size(), 1 + 9U);
    EXPECT_GE(appVarPages(played, true).size(), 9U);
}

// A video packed for the TI-83, run by Send(9 from its .83p file behind a variable of
// ramBefore bytes, so that the player lies where its program does. Returns the program's bytes as
// RAM holds them after the run, which the player changed.
Played playTi83(const pack::Variable& program, std::size_t ramBefore, std::size_t frames,
                pack::Variable* after = nullptr, const Conditions& conditions = {},
                const ProgramBuild& calcProgram = programOf(pack::Model::Ti83)) {
    emulator::Machine machine(conditions.timerHz.value_or(emulator::kTi83TimerRates[3]), 1,
                              emulator::MachineModel::Ti83);
    // An AppVar of ramBefore bytes, its size word included (none for 0).
    std::vector<pack::Variable> variables = {program};
    if (ramBefore >= 2) {
        variables.insert(variables.begin(),
                         {pack::kAppVarType, "SPACE", false,
                          pack::sizedData(std::vector<std::uint8_t>(ramBefore - 2, 0))});
    }
    const emulator::Send9Start start = emulator::startSend9(machine, variables);
    Played played = runMachine(machine, calcProgram.labels, start.binary, frames, conditions);
    played.placed = start.placed;
    if (after != nullptr) {
        *after = program;
        for (std::size_t i = 0; i < program.data.size(); ++i) {
            after->data[i] =
                machine.readMemory(static_cast<std::uint16_t>(start.placed.back().address + i));
        }
    }
    return played;
}

// The TI-83 program of records (of sizes) with player, read back from its .83p file.
pack::Variable packTi83(std::span<const std::uint8_t> records, std::span<const std::size_t> sizes,
                        const ProgramBuild& calcProgram = programOf(pack::Model::Ti83)) {
    const auto files = pack::packVideo(
        {pack::Model::Ti83, "CLIP", "test", false}, calcProgram.code, records, sizes,
        pack::relocations(calcProgram.code, calcProgram.movedBy100, calcProgram.movedBy1));
    EXPECT_EQ(files.size(), 1U);
    EXPECT_EQ(files.at(0).fileName, "CLIP.83p");
    return pack::readCalcFile(files.at(0).bytes, files[0].fileName).variables.at(0);
}

// The TI-83 program of the data file at path; decoded gets its decoding.
pack::Variable packTi83(const std::string& path, Decoded& decoded) {
    decoded = decodeDataFile(path);
    return packTi83(decoded.bytes, decoded.sizes);
}

class Ti83Playback : public testing::TestWithParam<std::tuple<const char*, testconversions::Job>> {
};

TEST_P(Ti83Playback, ShowsEveryDecodedFrameWhereverTheProgramLies) {
    const auto& [clip, job] = GetParam();
    KELVONAR_CONVERSION(conversion, clip, job.name);
    Decoded decoded;
    const pack::Variable program = packTi83(conversion.data().string(), decoded);
    const std::size_t frames = decoded.sizes.size();

    // Run twice, the second time moved by an odd distance, as the OS moves a program when the
    // variables before it change: the player moves its addresses again.
    pack::Variable moved;
    const Played first = playTi83(program, 100, frames, &moved);
    expectPlayedExactly(first, decoded.screens);
    const Played second = playTi83(moved, 3001, frames);
    expectPlayedExactly(second, decoded.screens);
}

INSTANTIATE_TEST_SUITE_P(Clips, Ti83Playback,
                         testing::Combine(testing::ValuesIn(testconversions::kClips),
                                          testing::ValuesIn(testconversions::kJobs)),
                         [](const auto& info) {
                             return testconversions::caseName(std::get<0>(info.param),
                                                              std::get<1>(info.param).name);
                         });

// The TI-83's timer is an RC oscillator: at each of its rates, and at one its batteries slowed
// down, the player keeps ten frames a second.
class Ti83Tempo : public testing::TestWithParam<double> {};

TEST_P(Ti83Tempo, TenFramesASecond) {
    KELVONAR_CONVERSION(conversion, "bounce.mp4", "Exact");
    Decoded decoded;
    const pack::Variable program = packTi83(conversion.data().string(), decoded);
    const Played played =
        playTi83(program, 0, decoded.sizes.size(), nullptr, {.timerHz = GetParam()});
    expectPlayedExactly(played, decoded.screens);
    const double perFrame =
        static_cast<double>(played.frames.back().shown - played.frames.front().shown) /
        static_cast<double>(played.frames.size() - 1);
    EXPECT_NEAR(perFrame, 600'000.0, 600'000.0 * 0.02);
}

INSTANTIATE_TEST_SUITE_P(Rates, Ti83Tempo,
                         testing::Values(emulator::kTi83TimerRates[0], emulator::kTi83TimerRates[1],
                                         emulator::kTi83TimerRates[2], emulator::kTi83TimerRates[3],
                                         80.0));

TEST(PackAndEmulate, TheSampleForTheTi83) {
    KELVONAR_CONVERSION(conversion, "bounce.mp4", "Exact");
    testsupport::TempDir dir;
    const auto packed = testprocess::run(
        KELVONAR_PACK,
        {"--model", "ti83", "--output", dir.path().string(), conversion.data().string()});
    ASSERT_EQ(packed.status, 0) << packed.err;
    EXPECT_EQ(packed.out, dir.file("MY.83p") + "\n");
    const auto played = testprocess::run(
        KELVONAR_EMU,
        {"--model", "ti83", "--check", conversion.canvases().string(), dir.file("MY.83p")});
    EXPECT_EQ(played.status, 0) << played.err;
    EXPECT_NE(played.out.find("all 60 frames compared equal"), std::string::npos) << played.out;
    EXPECT_NE(played.out.find("OS state restored: yes"), std::string::npos) << played.out;
}

// The programs end to end: kelvonar-pack writes the files, kelvonar-emu loads and plays them.
TEST(PackAndEmulate, TheSampleFromItsFiles) {
    KELVONAR_CONVERSION(conversion, "bounce.mp4", "Exact");
    testsupport::TempDir dir;
    const auto packed = testprocess::run(
        KELVONAR_PACK, {"--archive", "--output", dir.path().string(), conversion.data().string()});
    ASSERT_EQ(packed.status, 0) << packed.err;
    EXPECT_EQ(packed.out,
              dir.file("MY.8xp") + "\n" + dir.file("MY0.8xv") + "\n" + dir.file("MY.8xg") + "\n");
    const auto played = testprocess::run(KELVONAR_EMU, {"--check", conversion.canvases().string(),
                                                        dir.file("MY.8xp"), dir.file("MY0.8xv")});
    EXPECT_EQ(played.status, 0) << played.err;
    EXPECT_NE(played.out.find("frames shown: 60 of 60"), std::string::npos) << played.out;
    EXPECT_NE(played.out.find("all 60 frames compared equal"), std::string::npos) << played.out;

    // [MODE] held all along shares [CLEAR]'s bit in another group: every frame still plays.
    const auto held = testprocess::run(
        KELVONAR_EMU, {"--hold-key", "mode", dir.file("MY.8xp"), dir.file("MY0.8xv")});
    EXPECT_EQ(held.status, 0) << held.err;
    EXPECT_NE(held.out.find("frames shown: 60 of 60"), std::string::npos) << held.out;

    // Without its AppVar the player returns at once, and the run fails.
    const auto alone = testprocess::run(KELVONAR_EMU, {dir.file("MY.8xp")});
    EXPECT_EQ(alone.status, 1);
    EXPECT_NE(alone.err.find("plays the AppVar MY0, which no file holds"), std::string::npos)
        << alone.err;
    EXPECT_NE(alone.out.find("OS state restored: yes"), std::string::npos) << alone.out;
}

// A rule of the real calculators, and the probe switch that builds a player breaking it.
enum class Rule {
    SpeedSet,      // 6 MHz while playing on models with a speed port
    LcdGap,        // 70 T-states at 6 MHz between two LCD accesses
    KeypadReset,   // every group deselected before a group is read
    PowerDownOff,  // no auto power-down count while playing
};

struct ProbeCase {
    Rule rule;
    const char* probe;
    const char* model;
};

constexpr ProbeCase kProbeCases[] = {
    {Rule::SpeedSet, "kProbeNoSpeedWrite", "ti84plus"},
    {Rule::LcdGap, "kProbeShortLcdGap", "ti83plus"},
    {Rule::LcdGap, "kProbeShortLcdGap", "ti84plus"},
    {Rule::LcdGap, "kProbeShortLcdGap", "ti83"},
    {Rule::KeypadReset, "kProbeNoKeypadReset", "ti83plus"},
    {Rule::KeypadReset, "kProbeNoKeypadReset", "ti84plus"},
    {Rule::KeypadReset, "kProbeNoKeypadReset", "ti83"},
    {Rule::PowerDownOff, "kProbeApdOn", "ti83plus"},
    {Rule::PowerDownOff, "kProbeApdOn", "ti84plus"},
    {Rule::PowerDownOff, "kProbeApdOn", "ti83"},
};

void PrintTo(const ProbeCase& row, std::ostream* out) {
    *out << row.probe << " on " << row.model;
}

// Keys that share [CLEAR]'s bit in other groups.
constexpr emulator::Key kKeyVars{2, 6};
constexpr emulator::Key kKeyMath{5, 6};
// A power-down countdown far shorter than the clip's ticks.
constexpr std::uint32_t kShortPowerDownTicks = 300;

// Real seconds from the first frame shown to the last, a frame.
double secondsPerFrame(const Played& played) {
    if (played.frames.size() < 2) return 0;
    return static_cast<double>(played.frames.back().realShown - played.frames.front().realShown) /
           static_cast<double>(emulator::kRealTimeHz) /
           static_cast<double>(played.frames.size() - 1);
}

// Records (of sizes) played by player on model from RAM.
Played playOn(const pack::CalculatorModel& model, const ProgramBuild& calcProgram,
              std::span<const std::uint8_t> records, std::span<const std::size_t> sizes,
              const Conditions& conditions) {
    if (model.layout == pack::Model::Ti83) {
        return playTi83(packTi83(records, sizes, calcProgram), 0, sizes.size(), nullptr, conditions,
                        calcProgram);
    }
    return packAndPlay(model, calcProgram, records, sizes, false, conditions);
}

class ProbePlayback : public testing::TestWithParam<ProbeCase> {};

// The same clip played by the player built to break a rule, in the condition that shows the
// rule, and by the real player: the emulated calculator fails the first and passes the second.
TEST_P(ProbePlayback, TheBrokenRuleIsCaughtAndTheRealProgramKeepsIt) {
    const ProbeCase& row = GetParam();
    KELVONAR_CONVERSION(conversion, "bounce.mp4", "Exact");
    const std::string path = conversion.data().string();
    const Decoded decoded = decodeDataFile(path);
    const std::vector<std::size_t>& sizes = decoded.sizes;
    const std::vector<BitString>& expected = decoded.screens;
    const pack::CalculatorModel& model = *pack::findModel(row.model);

    Conditions probeConditions;
    std::vector<Conditions> realConditions = {{}};
    if (row.rule == Rule::KeypadReset) {
        probeConditions.heldKeys = {emulator::kKeyMode};
        realConditions = {
            {.heldKeys = {emulator::kKeyMode}}, {.heldKeys = {kKeyVars}}, {.heldKeys = {kKeyMath}}};
    }
    if (row.rule == Rule::PowerDownOff) {
        probeConditions.powerDownTicks = kShortPowerDownTicks;
        realConditions = {{.powerDownTicks = kShortPowerDownTicks}};
    }

    const Played probe =
        playOn(model, probeProgram(model.layout, row.probe), decoded.bytes, sizes, probeConditions);
    std::cout << row.probe << " on " << row.model << ": "
              << (probe.result.returned ? "returned" : probe.result.fault) << ", "
              << probe.shown.size() << " of " << expected.size() << " frames, "
              << secondsPerFrame(probe) << " s a frame, " << probe.gapViolations
              << " LCD gap violations\n";
    switch (row.rule) {
        case Rule::SpeedSet:
            EXPECT_TRUE(probe.gapViolations > 0 || std::abs(secondsPerFrame(probe) - 0.1) > 0.001)
                << secondsPerFrame(probe) << " s a frame";
            break;
        case Rule::LcdGap:
            EXPECT_GT(probe.gapViolations, 0U);
            break;
        case Rule::KeypadReset:
            // It takes [MODE] for [CLEAR]: it stops after its first frame and waits for [CLEAR]
            // to come up, which it never does.
            EXPECT_LE(probe.shown.size(), 2U);
            break;
        case Rule::PowerDownOff:
            EXPECT_FALSE(probe.result.returned);
            EXPECT_NE(probe.result.fault.find("switched itself off"), std::string::npos)
                << probe.result.fault;
            break;
    }

    for (const Conditions& conditions : realConditions) {
        const Played real =
            playOn(model, programOf(model.layout), decoded.bytes, sizes, conditions);
        std::cout << "the real player on " << row.model << ": " << real.shown.size() << " of "
                  << expected.size() << " frames, " << secondsPerFrame(real) << " s a frame, "
                  << real.gapViolations << " LCD gap violations, smallest gap "
                  << real.smallestGap / emulator::kRealPerSlowTState << " T-states at 6 MHz\n";
        expectPlayedExactly(real, expected);
        if (row.rule == Rule::SpeedSet) {
            EXPECT_NEAR(secondsPerFrame(real), 0.1, 0.001);
        }
        if (row.rule == Rule::LcdGap) {
            EXPECT_GE(real.smallestGap, emulator::kDefaultLcdGap * emulator::kRealPerSlowTState);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rules, ProbePlayback, testing::ValuesIn(kProbeCases),
                         [](const auto& info) {
                             return std::string(info.param.probe + 6) + "_" + info.param.model;
                         });

// Ten minutes at ten frames a second, archived: longer than the auto power-down the OS counts,
// which the player stops while it plays. A small block moves over the screen, one difference
// record a frame.
class LongVideo : public testing::TestWithParam<const char*> {};

TEST_P(LongVideo, PlaysToItsEndFromTheArchive) {
    constexpr std::size_t kFrames = 6'000;
    constexpr std::size_t kScreenBits = 96 * 64;
    std::vector<std::uint8_t> records;
    std::vector<std::size_t> sizes;
    BitString screen = BitString::filled(kScreenBits, false);
    for (std::size_t k = 0; k < kFrames; ++k) {
        BitString frame = BitString::filled(kScreenBits, false);
        const std::size_t row = k % 61;
        const std::size_t column = (k / 61 * 8) % 88;
        for (std::size_t y = row; y < row + 3; ++y) {
            for (std::size_t x = column; x < column + 8; ++x)
                frame.setBit(y * 96 + x, true);
        }
        const bool difference = k > 0;
        const BitString changed = difference ? TIFunctions::XorFrames(frame, screen) : frame;
        BitString best;
        int bestType = 0;
        for (int type = 0; type < TIFunctions::kCodeTypeCount; ++type) {
            BitString data = TIFunctions::EncodeFrame(changed, type);
            if (type == 0 || TIFunctions::ByteCount(data) < TIFunctions::ByteCount(best)) {
                best = std::move(data);
                bestType = type;
            }
        }
        records.push_back(static_cast<std::uint8_t>((difference ? 0x80 : 0) | bestType));
        records.insert(records.end(), best.data(), best.data() + TIFunctions::ByteCount(best));
        sizes.push_back(1 + TIFunctions::ByteCount(best));
        screen = frame;
    }
    std::vector<BitString> expected;
    for (const auto& record : TIFunctions::decodeRecords(records, kScreenBits))
        expected.push_back(record.screen);
    ASSERT_EQ(expected.size(), kFrames);

    const pack::CalculatorModel& model = *pack::findModel(GetParam());
    const Played played =
        packAndPlay(model, programOf(pack::Model::Ti83Plus), records, sizes, true);
    expectPlayedExactly(played, expected);
    appVarPages(played, true);
    const double powerDownSeconds = emulator::kApdReload * 256.0 / pack::slowestTimer(model);
    EXPECT_GT(static_cast<double>(played.result.realTime) / emulator::kRealTimeHz,
              2 * powerDownSeconds);
}

INSTANTIATE_TEST_SUITE_P(Models, LongVideo, testing::Values("ti84plus", "ti83plus"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
