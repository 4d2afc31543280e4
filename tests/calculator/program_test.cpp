// The assembled calculator player run in the emulated 83 Plus: what the LCD shows at every frame
// equals what the C++ decoder makes of the records, within the time budget, at 10 frames a second,
// and every way of ending leaves the OS as the player found it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <numeric>
#include <string>
#include <vector>

#include "calcrun.hpp"
#include "conversions.hpp"
#include "datafile.hpp"
#include "framedecoder.hpp"
#include "testframes.hpp"
#include "tifunctions.hpp"

using TIFunctions::BitString;

namespace {

constexpr std::size_t kScreenBits = 96 * 64;
constexpr std::uint64_t kFrameT = 600'000;  // 10 frames a second at 6 MHz
constexpr std::uint64_t kWorstFrameT = 450'000;
constexpr std::uint64_t kMeanFrameT = 250'000;

// Appends one record: the header, then the frame (key) or its difference from reference
// encoded under codeType.
void appendRecord(std::vector<std::uint8_t>& stream, const BitString& frame,
                  const BitString& reference, int codeType, bool difference) {
    const BitString data = TIFunctions::EncodeFrame(
        difference ? TIFunctions::XorFrames(frame, reference) : frame, codeType);
    stream.push_back(static_cast<std::uint8_t>((difference ? 0x80 : 0) | codeType));
    stream.insert(stream.end(), data.data(), data.data() + TIFunctions::ByteCount(data));
}

// The screens the records show, by the C++ decoder.
std::vector<BitString> decodedScreens(std::span<const std::uint8_t> stream) {
    std::vector<BitString> screens;
    for (const auto& record : TIFunctions::decodeRecords(stream, kScreenBits))
        screens.push_back(record.screen);
    return screens;
}

// The player handed the OS back its state: no key or break pending, the graph screen to be
// redrawn, the auto power-down and run indicator bits as found, no auto power-down count in play.
void expectOsStateRestored(const calcrun::ProgramRun& run) {
    const calcrun::OsState& out = run.exitState;
    EXPECT_EQ(out.kbdFlags & 0x08, 0) << "a key's scan code left pending";
    EXPECT_EQ(out.onFlags & 0x10, 0) << "a break left pending";
    EXPECT_EQ(out.graphFlags & 0x01, 1) << "graph screen not marked for a redraw";
    EXPECT_EQ(out.apdFlags & 0x0C, run.entry.apdFlags & 0x0C);
    EXPECT_EQ(out.indicatorFlags & 0x01, run.entry.indicatorFlags & 0x01);
    EXPECT_EQ(out.scanCode, 0);
    EXPECT_EQ(out.key, 0);
    EXPECT_EQ(out.getKey, 0);
    EXPECT_FALSE(run.apdCountedInPlay);
}

// Every frame the LCD showed equals the decoded screen, within the budget, without a gap
// violation, and the player returned with the OS state restored.
void expectPlayedExactly(const calcrun::ProgramRun& run, const std::vector<BitString>& expected) {
    ASSERT_TRUE(run.result.returned) << run.result.fault;
    ASSERT_EQ(run.shown.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k)
        ASSERT_EQ(run.shown[k], expected[k]) << "frame " << k;
    for (const auto& frame : run.frames)
        EXPECT_LE(frame.used(), kWorstFrameT) << "frame " << frame.frame;
    EXPECT_EQ(run.gapViolations, 0U);
    EXPECT_TRUE(run.pastScreenIntact);
    EXPECT_TRUE(run.exit.all()) << "stack " << run.exit.stack << ", IY " << run.exit.flags
                                << ", IM 1 " << run.exit.mode1 << ", EI " << run.exit.interrupts
                                << ", screen clear " << run.exit.screenClear;
    expectOsStateRestored(run);
}

BitString textFrame(const std::string& text) {
    return BitString::fromText(text);
}

// Frames at the limits of the codes: empty and full screens, single pixels at the ends, runs
// across byte boundaries and at the token and byte-run limits, fill bytes at both ends, noise.
std::vector<BitString> limitFrames() {
    testframes::Generator generate(7);
    std::vector<BitString> frames;
    frames.push_back(BitString::filled(kScreenBits, false));
    frames.push_back(BitString::filled(kScreenBits, true));
    for (const bool background : {false, true}) {
        for (const std::size_t pixel : {std::size_t{0}, kScreenBits - 1, std::size_t{4100}}) {
            BitString frame = BitString::filled(kScreenBits, background);
            frame.setBit(pixel, !background);
            frames.push_back(frame);
        }
        // Content only in the middle: fill bytes cut off at both ends.
        BitString middle = BitString::filled(kScreenBits, background);
        for (std::size_t i = 2000; i < 2600; i += 3)
            middle.setBit(i, !background);
        frames.push_back(middle);
    }
    // Vertical stripes 9 pixels wide: runs that never start on a byte.
    BitString stripes = BitString::filled(kScreenBits, false);
    for (std::size_t i = 0; i < kScreenBits; ++i)
        stripes.setBit(i, (i % 96) / 9 % 2 == 1);
    frames.push_back(stripes);
    frames.push_back(textFrame(generate.bitRuns(kScreenBits)));
    frames.push_back(textFrame(generate.bitRuns(kScreenBits)));
    frames.push_back(textFrame(generate.byteRuns(kScreenBits)));
    frames.push_back(textFrame(generate.byteRuns(kScreenBits)));
    frames.push_back(textFrame(generate.noise(kScreenBits, 0.5)));
    frames.push_back(textFrame(generate.noise(kScreenBits, 0.03)));
    frames.push_back(textFrame(generate.noise(kScreenBits, 0.97)));
    frames.push_back(textFrame(generate.sparse(kScreenBits)));
    return frames;
}

class CodeTypePlayback : public testing::TestWithParam<std::tuple<int, bool>> {};

}  // namespace

// Every code type as key and as difference records, over frames at the limits of the codes.
TEST_P(CodeTypePlayback, ShowsWhatTheDecoderShows) {
    const auto [codeType, keyFirst] = GetParam();
    const std::vector<BitString> frames = limitFrames();
    std::vector<std::uint8_t> stream;
    BitString screen = BitString::filled(kScreenBits, false);
    for (std::size_t k = 0; k < frames.size(); ++k) {
        appendRecord(stream, frames[k], screen, codeType, (k % 2 == 0) != keyFirst);
        screen = frames[k];
    }
    const std::vector<BitString> expected = decodedScreens(stream);
    // Types 7 and 8 leave the fill bytes after the span undescribed; the others are exact.
    if (codeType < 7) {
        ASSERT_EQ(expected, frames);
    }
    expectPlayedExactly(calcrun::runProgram(stream, {.timerHz = emulator::kTimerRates[3],
                                                     .clearAtFrame = {},
                                                     .frames = expected.size()}),
                        expected);
}

INSTANTIATE_TEST_SUITE_P(AllCodeTypes, CodeTypePlayback,
                         testing::Combine(testing::Range(0, TIFunctions::kCodeTypeCount),
                                          testing::Bool()),
                         [](const auto& info) {
                             return "Type" + std::to_string(std::get<0>(info.param)) +
                                    (std::get<1>(info.param) ? "KeyFirst" : "DifferenceFirst");
                         });

// A final literal may reach past the frame's end; the pixels there are dropped, nothing past
// the screen buffer changes.
TEST(BitRunEnd, LiteralPastTheFrameEndChangesNothingAfterIt) {
    std::vector<std::uint8_t> stream = {0x03};
    stream.insert(stream.end(), kScreenBits / 7, 0x80 | 0x55);
    stream.push_back(0xFF);
    stream.push_back(0x00);
    const std::vector<BitString> expected = decodedScreens(stream);
    expectPlayedExactly(calcrun::runProgram(stream), expected);
}

namespace {

// Two good records, a key and a difference record, that every malformed stream starts with.
std::vector<std::uint8_t> goodStart() {
    testframes::Generator generate(11);
    const BitString first = textFrame(generate.noise(kScreenBits, 0.3));
    const BitString second = textFrame(generate.bitRuns(kScreenBits));
    std::vector<std::uint8_t> stream;
    appendRecord(stream, first, BitString::filled(kScreenBits, false), 0, false);
    appendRecord(stream, second, first, 3, true);
    return stream;
}

// The bytes of a record of frame under codeType, header included.
std::vector<std::uint8_t> recordBytes(const BitString& frame, int codeType) {
    std::vector<std::uint8_t> bytes;
    appendRecord(bytes, frame, frame, codeType, false);
    return bytes;
}

std::vector<std::uint8_t> repeated(std::vector<std::uint8_t> head, std::uint8_t byte,
                                   std::size_t count, std::vector<std::uint8_t> tail) {
    head.insert(head.end(), count, byte);
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

struct BadTail {
    const char* name;
    std::vector<std::uint8_t> bytes;  // follows goodStart()
    bool cut = false;  // the data ends inside the record; otherwise zeros follow, enough to
                       // complete any record a player that misreads the fault might go on with
};

void PrintTo(const BadTail& tail, std::ostream* out) {
    *out << tail.name;
}

std::vector<BadTail> badTails() {
    testframes::Generator generate(12);
    const auto noiseRecord = recordBytes(textFrame(generate.noise(kScreenBits, 0.5)), 0);
    const auto bitRecord = recordBytes(textFrame(generate.noise(kScreenBits, 0.5)), 3);
    return {
        {"ByteRunRecordCut", {noiseRecord.begin(), noiseRecord.begin() + 400}, true},
        {"BitRunRecordCutBeforeEndToken", {bitRecord.begin(), bitRecord.end() - 1}, true},
        {"SkipCountCut", {0x01, 0x00}, true},
        {"UnknownCodeType", {0x09, 0x00, 0x00}},
        {"UnknownDifferenceCodeType", {0xFF, 0x00, 0x00}},
        {"SkipCountPastFrame", {0x05, 0x03, 0x01, 0x00}},
        {"SpanPastFrame", {0x01, 0x02, 0xFF, 0x01, 0x02, 0x00}},
        {"SpanWrappingSixteenBits", {0x02, 0x00, 0x02, 0xFF, 0xFF, 145, 0x0F, 200}},
        {"ByteRunPastSpan", {0x01, 0x00, 0x00, 0x00, 0x02, 145, 0x55, 3}},
        {"ByteRunOfTwo", {0x00, 145, 0x55, 2}},
        {"ByteRunOfZero", {0x00, 145, 0x55, 0}},
        {"EscapeOfAnotherByte", {0x00, 145, 0x55, 1}},
        {"EscapeCountedTwice", {0x00, 145, 145, 2}},
        {"BitRunShorterThanEight", {0x03, 0x47}},
        {"BitRunPastFrame", repeated({0x03}, 0x7F, 97, {0x68, 0x00})},
        {"TokenAfterFullSkip", {0x05, 0x03, 0x00, 0x81, 0x00}},
    };
}

class MalformedStream : public testing::TestWithParam<BadTail> {};

}  // namespace

// Data the player cannot decode ends the playback after the last good record, never shown in
// part, with the OS state restored.
TEST_P(MalformedStream, StopsCleanlyAfterTheGoodRecords) {
    std::vector<std::uint8_t> stream = goodStart();
    const std::vector<BitString> expected = decodedScreens(stream);
    stream.insert(stream.end(), GetParam().bytes.begin(), GetParam().bytes.end());
    if (!GetParam().cut) stream.insert(stream.end(), 3 * kScreenBits / 8, 0);
    EXPECT_ANY_THROW(TIFunctions::decodeRecords(stream, kScreenBits));
    expectPlayedExactly(calcrun::runProgram(stream), expected);
}

INSTANTIATE_TEST_SUITE_P(Tails, MalformedStream, testing::ValuesIn(badTails()),
                         [](const auto& info) { return std::string(info.param.name); });

namespace {

// Frames of every cost: noise (slow), sparse and empty (fast).
std::vector<std::uint8_t> mixedStream(std::size_t frames) {
    testframes::Generator generate(5);
    std::vector<std::uint8_t> stream;
    BitString screen = BitString::filled(kScreenBits, false);
    for (std::size_t k = 0; k < frames; ++k) {
        const BitString frame =
            textFrame(k % 3 == 0 ? generate.noise(kScreenBits, 0.5) : generate.sparse(kScreenBits));
        const int codeType = static_cast<int>(k % TIFunctions::kCodeTypeCount);
        appendRecord(stream, frame, screen, codeType < 7 ? codeType : 0, k % 2 == 1);
        screen = frame;
    }
    return stream;
}

class Tempo : public testing::TestWithParam<double> {};

}  // namespace

// 10 frames a second within 2% at every timer rate of the 83 Plus; a slow frame delays only
// itself.
TEST_P(Tempo, TenFramesASecond) {
    constexpr std::size_t kFrames = 40;
    const auto run = calcrun::runProgram(
        mixedStream(kFrames), {.timerHz = GetParam(), .clearAtFrame = {}, .frames = kFrames});
    ASSERT_TRUE(run.result.returned) << run.result.fault;
    ASSERT_EQ(run.frames.size(), kFrames);
    const double tick = 6e6 / GetParam();
    // Frame 0 starts at once, every later one on its deadline.
    const auto& first = run.frames[1];
    const double period =
        static_cast<double>(run.frames.back().begin - first.begin) / (kFrames - 2);
    EXPECT_NEAR(period, kFrameT, kFrameT * 0.02);
    std::cout << GetParam() << " Hz: a frame every " << period << " T-states\n";
    for (std::size_t k = 1; k < kFrames; ++k) {
        const double schedule =
            static_cast<double>(first.begin) + static_cast<double>(k - 1) * period;
        EXPECT_NEAR(static_cast<double>(run.frames[k].begin), schedule, tick + 1000) << k;
    }
}

INSTANTIATE_TEST_SUITE_P(TimerRates, Tempo, testing::ValuesIn(emulator::kTimerRates),
                         [](const auto& info) {
                             return std::to_string(static_cast<int>(info.param)) + "Hz";
                         });

// [CLEAR] pressed during frame 3 ends the playback within a frame; the player returns once it is
// released, the OS state restored.
TEST(ClearKey, StopsWithinAFrame) {
    constexpr std::size_t kFrames = 20;
    const auto run = calcrun::runProgram(
        mixedStream(kFrames),
        {.timerHz = emulator::kTimerRates[0], .clearAtFrame = std::size_t{3}, .frames = kFrames});
    ASSERT_TRUE(run.result.returned) << run.result.fault;
    EXPECT_LE(run.frames.size(), 4U);
    // It returns once [CLEAR] is up again, not before.
    ASSERT_GT(run.clearReleasedAt, 0U);
    EXPECT_GE(run.result.tStates, run.clearReleasedAt);
    EXPECT_LE(run.result.tStates - run.clearReleasedAt, kFrameT);
    EXPECT_TRUE(run.exit.all());
    EXPECT_EQ(run.gapViolations, 0U);
    expectOsStateRestored(run);
}

// Whatever auto power-down and run indicator state the OS starts the player in, it gets back.
TEST(OsState, FlagsComeBackAsFound) {
    for (const std::uint8_t apd : {0x00, 0x04, 0x08, 0x0C}) {
        for (const bool indicator : {false, true}) {
            SCOPED_TRACE(testing::Message()
                         << "apd flags " << int{apd} << ", indicator " << indicator);
            const auto run =
                calcrun::runProgram(mixedStream(3), {.timerHz = emulator::kTimerRates[3],
                                                     .clearAtFrame = {},
                                                     .frames = 3,
                                                     .archived = false,
                                                     .nextAppVar = {},
                                                     .apdFlags = apd,
                                                     .indicatorOn = indicator});
            ASSERT_TRUE(run.result.returned) << run.result.fault;
            expectOsStateRestored(run);
        }
    }
}

namespace {

class ClipPlayback : public testing::TestWithParam<std::tuple<const char*, testconversions::Job>> {
};

}  // namespace

// Whole conversions of the sample and the test clips: every frame the LCD shows is the decoded
// frame, within the time budget. A stream longer than an AppVar in RAM plays in parts, each
// after a key record of the screen the part starts from.
TEST_P(ClipPlayback, ShowsEveryFrameInTime) {
    const auto& [clip, job] = GetParam();
    KELVONAR_CONVERSION(conversion, clip, job.name);
    const std::vector<std::uint8_t> bytes = player::readDataFile(conversion.data().string());
    const auto records = TIFunctions::decodeRecords(bytes, kScreenBits);
    ASSERT_FALSE(records.empty());

    std::vector<std::uint64_t> used;
    std::size_t next = 0;
    while (next < records.size()) {
        std::vector<std::uint8_t> part;
        std::vector<BitString> expected;
        if (next > 0) {
            const BitString& screen = records[next - 1].screen;
            appendRecord(part, screen, screen, 0, false);
            expected.push_back(screen);
        }
        const std::size_t firstRecord = next;
        while (next < records.size() &&
               part.size() + records[next].size <= calcrun::dataCapacity()) {
            const auto* begin = bytes.data() + records[next].offset;
            part.insert(part.end(), begin, begin + records[next].size);
            expected.push_back(records[next].screen);
            ++next;
        }
        ASSERT_GT(next, firstRecord) << "record " << next << " does not fit the data area";
        const auto run = calcrun::runProgram(
            part,
            {.timerHz = emulator::kTimerRates[3], .clearAtFrame = {}, .frames = expected.size()});
        expectPlayedExactly(run, expected);
        if (HasFatalFailure()) return;
        for (std::size_t k = firstRecord > 0 ? 1 : 0; k < run.frames.size(); ++k)
            used.push_back(run.frames[k].used());
    }
    const std::uint64_t worst = *std::max_element(used.begin(), used.end());
    const double mean = static_cast<double>(std::accumulate(used.begin(), used.end(), 0ULL)) /
                        static_cast<double>(used.size());
    EXPECT_LE(worst, kWorstFrameT);
    EXPECT_LE(mean, kMeanFrameT);
    std::cout << clip << " " << job.name << ": " << used.size() << " frames, worst " << worst
              << " T-states, mean " << static_cast<std::uint64_t>(mean) << "\n";
}

INSTANTIATE_TEST_SUITE_P(Clips, ClipPlayback,
                         testing::Combine(testing::ValuesIn(testconversions::kClips),
                                          testing::ValuesIn(testconversions::kJobs)),
                         [](const auto& info) {
                             return testconversions::caseName(std::get<0>(info.param),
                                                              std::get<1>(info.param).name);
                         });

// No records: the player returns at once, having shown nothing.
TEST(EmptyData, ReturnsWithoutAFrame) {
    expectPlayedExactly(
        calcrun::runProgram({},
                            {.timerHz = emulator::kTimerRates[3], .clearAtFrame = {}, .frames = 1}),
        {});
}

namespace {

// Bytes of an archived AppVar's records that lie in its first flash page.
std::size_t firstPageBytes() {
    return emulator::kPageSize - calcrun::archivedRecordsOffset();
}

struct ArchiveCase {
    const char* name;
    std::vector<int> codeTypes;  // the records' code types, in turn
    enum class End { Whole, CutAcrossThePage, CutAtThePageEnd } end = End::Whole;
};

void PrintTo(const ArchiveCase& c, std::ostream* out) {
    *out << c.name;
}

class ArchivePlayback : public testing::TestWithParam<ArchiveCase> {};

}  // namespace

// Records of an archived AppVar that cross from one flash page into the next play exactly; a
// last record the AppVar's end cuts, across the page or at its end, is never shown, even when the
// bytes after the AppVar would complete it, and play stops there.
TEST_P(ArchivePlayback, PlaysAcrossPagesAndStopsAtTheEnd) {
    const ArchiveCase& c = GetParam();
    testframes::Generator generate(21);
    std::vector<std::uint8_t> stream;
    std::vector<std::size_t> starts;
    BitString screen = BitString::filled(kScreenBits, false);
    for (std::size_t k = 0; stream.size() < firstPageBytes() + 3000; ++k) {
        const BitString frame =
            textFrame(k % 2 == 0 ? generate.noise(kScreenBits, 0.2) : generate.sparse(kScreenBits));
        starts.push_back(stream.size());
        appendRecord(stream, frame, screen, c.codeTypes[k % c.codeTypes.size()], k % 3 != 0);
        screen = frame;
    }
    starts.push_back(stream.size());
    // The record that crosses from the first page into the next.
    const auto crossing =
        std::upper_bound(starts.begin(), starts.end(), firstPageBytes()) - starts.begin() - 1;
    ASSERT_LT(starts[crossing], firstPageBytes());
    std::vector<std::uint8_t> next;
    if (c.end == ArchiveCase::End::CutAcrossThePage) {
        // The next AppVar's entry follows, 0x0880 bytes long: as bit-run tokens its first bytes
        // (0xFC, 0x80, 0x08, 0x15, 0x00) complete the cut record.
        ASSERT_GT(starts[crossing + 1], firstPageBytes() + 4);
        stream.resize(firstPageBytes() + 4);
        next.assign(0x0880 - 13, 0);
    } else if (c.end == ArchiveCase::End::CutAtThePageEnd) {
        stream.resize(firstPageBytes());
    }
    std::vector<BitString> expected = decodedScreens(std::span(stream).first(
        c.end == ArchiveCase::End::Whole ? stream.size() : starts[crossing]));
    const auto run = calcrun::runProgram(stream, {.timerHz = emulator::kTimerRates[3],
                                                  .clearAtFrame = {},
                                                  .frames = starts.size(),
                                                  .archived = true,
                                                  .nextAppVar = next});
    expectPlayedExactly(run, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Records, ArchivePlayback,
    testing::Values(ArchiveCase{"ByteRuns", {0, 1, 2}}, ArchiveCase{"BitRuns", {3, 4, 5, 6, 7, 8}},
                    ArchiveCase{"CutAcrossThePage", {3, 5, 7}, ArchiveCase::End::CutAcrossThePage},
                    ArchiveCase{"CutAtThePageEnd", {0, 4, 8}, ArchiveCase::End::CutAtThePageEnd}),
    [](const auto& info) { return std::string(info.param.name); });
