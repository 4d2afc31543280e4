// Videos packed for the TI-82, read back from their .82p file and started as a shell starts them
// in the emulated TI-82: every frame equals kelvonar-play's decoding at the timer's fastest and
// slowest rates, [CLEAR] stops the video, a program without the shell's header is not listed, and
// data over the TI-82's RAM are refused.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>

#include "animation.hpp"
#include "calcprograms.hpp"
#include "conversions.hpp"
#include "datafile.hpp"
#include "packer.hpp"
#include "played.hpp"
#include "process.hpp"
#include "symbols.hpp"
#include "tempdir.hpp"
#include "tifile.hpp"
#include "variables.hpp"

namespace {

using TIFunctions::BitString;

constexpr std::uint64_t kWorstFrameT = 450'000;
constexpr std::uint64_t kTStatesPerFrame = 2'000'000;

struct Video {
    pack::Variable program;
    std::vector<BitString> screens;  // what each packed frame shows
};

// The records of the data file at path that fit the TI-82, packed and read back from NAME.82p.
Video packTi82(const std::string& path) {
    const std::vector<std::uint8_t> data = player::readDataFile(path);
    std::vector<std::size_t> sizes;
    std::vector<BitString> screens;
    std::size_t bytes = 0;
    for (const auto& record : TIFunctions::decodeRecords(data, player::ScreenSize{}.pixels())) {
        if (bytes + record.size > pack::kTi82Limit) break;
        sizes.push_back(record.size);
        screens.push_back(record.screen);
        bytes += record.size;
    }
    const auto calcProgram = pack::builtProgram(pack::Model::Ti82);
    const auto files = pack::packVideo(
        {pack::Model::Ti82, "CLIP", "test", false, "CLIP 6.0s"}, calcProgram,
        std::span(data).first(bytes), sizes,
        pack::relocations(calcProgram, pack::builtProgramMoved(pack::Model::Ti82, 0x100),
                          pack::builtProgramMoved(pack::Model::Ti82, 1)));
    EXPECT_EQ(files.size(), 1U);
    EXPECT_EQ(files.at(0).fileName, "CLIP.82p");
    return {pack::readCalcFile(files.at(0).bytes, files[0].fileName).variables.at(0), screens};
}

std::vector<std::uint8_t> fileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

using testsupport::Played;

Played playTi82(const pack::Variable& program, std::size_t frames, double timerHz,
                std::optional<std::size_t> clearAt = {}) {
    static const emulator::Symbols symbols = emulator::Symbols::read(KELVONAR_PROGRAM82_SYM);
    emulator::Machine machine(timerHz, 1, emulator::MachineModel::Ti82);
    const emulator::ShellStart start = emulator::startShell(machine, {program});
    const auto at = [&](const char* label) {
        return static_cast<std::uint16_t>(start.entry + symbols.at(label));
    };
    machine.setFrameLabels(at("frame_begin"), at("frame_shown"), at("frame_waited"));
    if (clearAt) machine.pressKeyAtFrame(emulator::kKeyClear, *clearAt);
    Played played;
    machine.onFrameShown([&](const auto&) { played.shown.push_back(machine.lcdPicture()); });
    played.result = machine.run(kTStatesPerFrame * (frames + 4));
    played.frames = machine.frames();
    played.exit = machine.exitCheck();
    played.gapViolations = machine.lcd().gapViolations();
    return played;
}

class Ti82Playback
    : public testing::TestWithParam<std::tuple<const char*, testconversions::Job, double>> {};

TEST_P(Ti82Playback, ShowsEveryFrameInTempo) {
    const auto& [clip, job, rate] = GetParam();
    KELVONAR_CONVERSION(conversion, clip, job.name);
    const Video video = packTi82(conversion.data().string());
    const Played played = playTi82(video.program, video.screens.size(), rate);
    ASSERT_TRUE(played.result.returned) << played.result.fault;
    ASSERT_EQ(played.shown.size(), video.screens.size());
    for (std::size_t k = 0; k < video.screens.size(); ++k)
        ASSERT_EQ(played.shown[k], video.screens[k]) << "frame " << k;
    for (const auto& frame : played.frames)
        EXPECT_LE(frame.used(), kWorstFrameT) << "frame " << frame.frame;
    EXPECT_EQ(played.gapViolations, 0U);
    EXPECT_TRUE(played.exit.all()) << emulator::exitProblems(played.exit);
    // Over a few frames a late first frame weighs too much: the tempo shows over a longer run.
    if (played.frames.size() >= 30) {
        const double perFrame =
            static_cast<double>(played.frames.back().shown - played.frames.front().shown) /
            static_cast<double>(played.frames.size() - 1);
        EXPECT_NEAR(perFrame, 600'000.0, 600'000.0 * 0.02);
    }
}

INSTANTIATE_TEST_SUITE_P(Clips, Ti82Playback,
                         testing::Combine(testing::ValuesIn(testconversions::kClips),
                                          testing::ValuesIn(testconversions::kJobs),
                                          testing::Values(emulator::kTi82TimerRates[0],
                                                          emulator::kTi82TimerRates[3])),
                         [](const auto& info) {
                             return testconversions::caseName(std::get<0>(info.param),
                                                              std::get<1>(info.param).name) +
                                    (std::get<2>(info.param) > 200 ? "_Fastest" : "_Slowest");
                         });

TEST(Ti82Shell, ClearStopsTheVideoAndTheOsIsAsFound) {
    KELVONAR_CONVERSION(conversion, "bounce.mp4", "Exact");
    const Video video = packTi82(conversion.data().string());
    const Played played =
        playTi82(video.program, video.screens.size(), emulator::kTi82TimerRates[3], 5);
    ASSERT_TRUE(played.result.returned) << played.result.fault;
    EXPECT_GE(played.shown.size(), 5U);
    EXPECT_LT(played.shown.size(), 10U);
    // The TI-82's key bytes are not known for sure, so the player leaves [CLEAR]'s scan code
    // (docs/calculator.md); everything else is as found.
    emulator::ExitCheck exit = played.exit;
    EXPECT_FALSE(exit.noKeyPending);
    exit.noKeyPending = true;
    EXPECT_TRUE(exit.all()) << emulator::exitProblems(exit);
    EXPECT_TRUE(exit.clearUp);
}

TEST(Ti82Shell, ListsOnlyAProgramWithItsHeader) {
    KELVONAR_CONVERSION(conversion, "bounce.mp4", "Exact");
    const Video video = packTi82(conversion.data().string());
    for (std::size_t at = 2; at < 5; ++at) {
        pack::Variable damaged = video.program;
        damaged.data[at] ^= 0x01;
        emulator::Machine machine(emulator::kTi82TimerRates[3], 1, emulator::MachineModel::Ti82);
        EXPECT_THROW(emulator::startShell(machine, {damaged}), emulator::MachineError) << at;
    }
}

TEST(Ti82Pack, RefusesDataOverItsRamWithSizeAndLimit) {
    const auto calcProgram = pack::builtProgram(pack::Model::Ti82);
    for (const std::size_t size : {pack::kTi82Limit + 1, pack::kTi82Limit}) {
        const std::vector<std::uint8_t> data(size, 0);
        const std::vector<std::size_t> sizes(1, size);
        const std::vector<std::uint8_t> bigProgram(2'000, 0);
        try {
            pack::packVideo({pack::Model::Ti82, "BIG", "", false, ""}, bigProgram, data, sizes);
            ADD_FAILURE() << size << " bytes were packed";
        } catch (const pack::PackError& error) {
            const std::string text = error.what();
            EXPECT_NE(text.find("TI-82"), std::string::npos) << text;
            const std::size_t limit = size > pack::kTi82Limit ? pack::kTi82Limit : pack::kTi82Ram;
            EXPECT_NE(text.find("at most " + std::to_string(limit)), std::string::npos) << text;
        }
    }
    EXPECT_FALSE(calcProgram.empty());
}

// The programs end to end, and the same bytes from two packs.
TEST(Ti82PackAndEmulate, TheSampleFromItsFile) {
    KELVONAR_CONVERSION(conversion, "bounce.mp4", "Exact");
    testsupport::TempDir dir;
    const std::vector<std::string> args = {"--model", "ti82", "--output", dir.path().string(),
                                           conversion.data().string()};
    const auto packed = testprocess::run(KELVONAR_PACK, args);
    ASSERT_EQ(packed.status, 0) << packed.err;
    EXPECT_EQ(packed.out, dir.file("MY.82p") + "\n");
    const std::vector<std::uint8_t> first = fileBytes(dir.file("MY.82p"));
    ASSERT_EQ(testprocess::run(KELVONAR_PACK, args).status, 0);
    EXPECT_EQ(fileBytes(dir.file("MY.82p")), first);
    EXPECT_EQ(std::string(first.begin(), first.begin() + 8), "**TI82**");

    const auto played = testprocess::run(
        KELVONAR_EMU, {"--check", conversion.canvases().string(), dir.file("MY.82p")});
    EXPECT_EQ(played.status, 0) << played.err;
    EXPECT_NE(played.out.find("calculator: TI-82"), std::string::npos) << played.out;
    EXPECT_NE(played.out.find("all 60 frames compared equal"), std::string::npos) << played.out;
    EXPECT_NE(played.out.find("OS state restored: yes"), std::string::npos) << played.out;
}

}  // namespace
