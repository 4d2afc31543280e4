// Videos packed for the 83 Plus family and the TI-83, loaded from their files as the calculator
// holds them and played by the assembled player in the emulated calculator: every frame the LCD
// shows equals kelvonar-play's decoding, from RAM and from the archive, across flash pages and
// AppVars, and on the TI-83 wherever its program lies.

#include <gtest/gtest.h>

#include <set>

#include "animation.hpp"
#include "calcfiles.hpp"
#include "conversions.hpp"
#include "datafile.hpp"
#include "packer.hpp"
#include "players.hpp"
#include "process.hpp"
#include "symbols.hpp"
#include "tempdir.hpp"
#include "tifile.hpp"

namespace {

namespace fs = std::filesystem;
using TIFunctions::BitString;

constexpr std::uint64_t kWorstFrameT = 450'000;
constexpr std::uint64_t kTStatesPerFrame = 2'000'000;

struct Played {
    emulator::RunResult result;
    std::vector<BitString> shown;
    std::vector<emulator::FrameTiming> frames;
    emulator::ExitCheck exit;
    std::size_t gapViolations = 0;
    std::vector<emulator::PlacedVariable> placed;
};

// Packs the records of the data file at path and plays them from the group files, as a
// calculator that received them runs the program.
Played packAndPlay(const std::string& path, bool archive, std::vector<BitString>& expected) {
    const player::Animation animation =
        player::decodeAnimation(path, player::readDataFile(path), player::ScreenSize{});
    expected = animation.screens();
    std::vector<std::size_t> sizes;
    for (const auto& record : animation.records)
        sizes.push_back(record.size);
    const auto files =
        pack::packVideo({pack::Model::Ti83Plus, "CLIP", "test", archive},
                        pack::builtPlayer(pack::Model::Ti83Plus), animation.bytes, sizes);
    std::vector<pack::Variable> variables;
    for (const auto& file : files) {
        if (!file.fileName.ends_with(".8xg")) continue;
        for (auto& variable : pack::readCalcFile(file.bytes, file.fileName).variables)
            variables.push_back(std::move(variable));
    }

    static const emulator::Symbols symbols = emulator::Symbols::read(KELVONAR_PLAYER_SYM);
    emulator::Machine machine;
    Played played;
    played.placed = emulator::installVariables(machine, variables);
    machine.setFrameLabels(symbols.at("frame_begin"), symbols.at("frame_shown"),
                           symbols.at("frame_waited"));
    machine.onFrameShown([&](const auto&) { played.shown.push_back(machine.lcdPicture()); });
    played.result = machine.run(kTStatesPerFrame * (expected.size() + 4));
    played.frames = machine.frames();
    played.exit = machine.exitCheck();
    played.gapViolations = machine.lcd().gapViolations();
    return played;
}

void expectPlayedExactly(const Played& played, const std::vector<BitString>& expected) {
    ASSERT_TRUE(played.result.returned) << played.result.fault;
    ASSERT_EQ(played.shown.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k)
        ASSERT_EQ(played.shown[k], expected[k]) << "frame " << k;
    for (const auto& frame : played.frames)
        EXPECT_LE(frame.used(), kWorstFrameT) << "frame " << frame.frame;
    EXPECT_EQ(played.gapViolations, 0U);
    EXPECT_TRUE(played.exit.all());
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

class ArchivePlayback
    : public testing::TestWithParam<std::tuple<const char*, testconversions::Job>> {};

TEST_P(ArchivePlayback, ShowsEveryDecodedFrame) {
    const auto& [clip, job] = GetParam();
    KELVONAR_CONVERSION(conversion, clip, job.name);
    std::vector<BitString> expected;
    const Played played = packAndPlay(conversion.data().string(), true, expected);
    expectPlayedExactly(played, expected);
    appVarPages(played, true);
}

INSTANTIATE_TEST_SUITE_P(Clips, ArchivePlayback,
                         testing::Combine(testing::ValuesIn(testconversions::kClips),
                                          testing::ValuesIn(testconversions::kJobs)),
                         [](const auto& info) {
                             return testconversions::caseName(std::get<0>(info.param),
                                                              std::get<1>(info.param).name);
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
    const Played played = packAndPlay(dir.file("my.z80"), false, expected);
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
                pack::Variable* after = nullptr, double timerHz = emulator::kTi83TimerRates[3]) {
    static const emulator::Symbols symbols = emulator::Symbols::read(KELVONAR_PLAYER83_SYM);
    emulator::Machine machine(timerHz, 1, emulator::MachineModel::Ti83);
    // An AppVar of ramBefore bytes, its size word included (none for 0).
    std::vector<pack::Variable> variables = {program};
    if (ramBefore >= 2) {
        variables.insert(variables.begin(),
                         {pack::kAppVarType, "SPACE", false,
                          pack::sizedData(std::vector<std::uint8_t>(ramBefore - 2, 0))});
    }
    const emulator::Send9Start start = emulator::startSend9(machine, variables);
    machine.setFrameLabels(static_cast<std::uint16_t>(start.binary + symbols.at("frame_begin")),
                           static_cast<std::uint16_t>(start.binary + symbols.at("frame_shown")),
                           static_cast<std::uint16_t>(start.binary + symbols.at("frame_waited")));
    Played played;
    machine.onFrameShown([&](const auto&) { played.shown.push_back(machine.lcdPicture()); });
    played.result = machine.run(kTStatesPerFrame * (frames + 4));
    played.frames = machine.frames();
    played.exit = machine.exitCheck();
    played.gapViolations = machine.lcd().gapViolations();
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

// The TI-83 program of the data file at path, read back from its .83p file; animation gets its
// decoding.
pack::Variable packTi83(const std::string& path, player::Animation& animation) {
    animation = player::decodeAnimation(path, player::readDataFile(path), player::ScreenSize{});
    std::vector<std::size_t> sizes;
    for (const auto& record : animation.records)
        sizes.push_back(record.size);
    const auto player = pack::builtPlayer(pack::Model::Ti83);
    const auto files =
        pack::packVideo({pack::Model::Ti83, "CLIP", "test", false}, player, animation.bytes, sizes,
                        pack::relocations(player, pack::builtTi83PlayerMoved(0x100),
                                          pack::builtTi83PlayerMoved(1)));
    EXPECT_EQ(files.size(), 1U);
    EXPECT_EQ(files.at(0).fileName, "CLIP.83p");
    return pack::readCalcFile(files.at(0).bytes, files[0].fileName).variables.at(0);
}

class Ti83Playback : public testing::TestWithParam<std::tuple<const char*, testconversions::Job>> {
};

TEST_P(Ti83Playback, ShowsEveryDecodedFrameWhereverTheProgramLies) {
    const auto& [clip, job] = GetParam();
    KELVONAR_CONVERSION(conversion, clip, job.name);
    player::Animation animation;
    const pack::Variable program = packTi83(conversion.data().string(), animation);
    const std::size_t frames = animation.records.size();

    // Run twice, the second time moved by an odd distance, as the OS moves a program when the
    // variables before it change: the player moves its addresses again.
    pack::Variable moved;
    const Played first = playTi83(program, 100, frames, &moved);
    expectPlayedExactly(first, animation.screens());
    const Played second = playTi83(moved, 3001, frames);
    expectPlayedExactly(second, animation.screens());
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
    player::Animation animation;
    const pack::Variable program = packTi83(conversion.data().string(), animation);
    const Played played = playTi83(program, 0, animation.records.size(), nullptr, GetParam());
    expectPlayedExactly(played, animation.screens());
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

    // Without its AppVar the player returns at once, and the run fails.
    const auto alone = testprocess::run(KELVONAR_EMU, {dir.file("MY.8xp")});
    EXPECT_EQ(alone.status, 1);
    EXPECT_NE(alone.err.find("plays the AppVar MY0, which no file holds"), std::string::npos)
        << alone.err;
    EXPECT_NE(alone.out.find("OS state restored: yes"), std::string::npos) << alone.out;
}

}  // namespace
