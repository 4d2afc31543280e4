#include "machine.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using emulator::Machine;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint64_t kLimit = 5'000'000;

// Spins about 300,000 T-states: ld bc,11538; dec bc; ld a,b; or c; jr nz,-5.
const Bytes kSpin = {0x01, 0x12, 0x2D, 0x0B, 0x78, 0xB1, 0x20, 0xFB};

Bytes withReturn(Bytes code) {
    code.push_back(0xC9);  // ret
    return code;
}

struct TimingCase {
    std::string name;
    Bytes code;  // a ret follows
    std::uint64_t tStates;
    friend void PrintTo(const TimingCase& c, std::ostream* out) { *out << c.name; }
};

class MachineTiming : public testing::TestWithParam<TimingCase> {};

TEST_P(MachineTiming, CountsTheTStatesOfEachInstruction) {
    Machine machine(0);
    machine.loadProgram(withReturn(GetParam().code));
    const auto result = machine.run(kLimit);
    ASSERT_TRUE(result.returned) << result.fault;
    EXPECT_EQ(result.tStates, GetParam().tStates + 10);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, MachineTiming,
    testing::Values(TimingCase{"Nop", {0x00}, 4},
                    TimingCase{"LoadImmediateThenRegister", {0x3E, 5, 0x47}, 11},
                    TimingCase{"StoreThroughHl", {0x21, 0x00, 0x90, 0x77, 0x23}, 23},
                    TimingCase{"Djnz", {0x06, 0x03, 0x10, 0xFE}, 41},
                    TimingCase{"Ldir",
                               {0x21, 0x00, 0x90, 0x11, 0x00, 0x91, 0x01, 0x04, 0x00, 0xED, 0xB0},
                               30 + 3 * 21 + 16},
                    TimingCase{"ExchangeWithStack", {0xE3, 0xE3}, 38},
                    TimingCase{"IndexedBit", {0xDD, 0x21, 0x00, 0x90, 0xDD, 0xCB, 0x00, 0x7E}, 34},
                    TimingCase{"CallAndReturn", {0xCD, 0x9A, 0x9D, 0x18, 0x01, 0xC9}, 39},
                    TimingCase{"Ports", {0xD3, 0x01, 0xDB, 0x04, 0xED, 0x78}, 34}),
    [](const auto& info) { return info.param.name; });

struct FaultCase {
    std::string name;
    Bytes code;
    std::string message;  // part of the fault
    friend void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }
};

class MachineFault : public testing::TestWithParam<FaultCase> {};

TEST_P(MachineFault, EndsTheRunWithAMessage) {
    Machine machine;
    machine.loadProgram(withReturn(GetParam().code));
    const auto result = machine.run(1'000'000);
    EXPECT_FALSE(result.returned);
    EXPECT_NE(result.fault.find(GetParam().message), std::string::npos) << result.fault;
}

INSTANTIATE_TEST_SUITE_P(
    Programs, MachineFault,
    testing::Values(
        FaultCase{"WriteToOsPage", {0x32, 0x00, 0x01}, "to flash at 0x0100"},
        FaultCase{"WriteToFlashInBankA", {0x32, 0x34, 0x52}, "to flash at 0x5234"},
        FaultCase{"CodeAtC000", {0xC3, 0x00, 0xC0}, "code ran at 0xC000"},
        FaultCase{"CodeInData", {0xC3, 0x00, 0xA0}, "code ran at 0xA000"},
        FaultCase{"CodeInOsPage", {0xC3, 0x00, 0x00}, "code ran at 0x0000"},
        FaultCase{"UnknownOsCall", {0xEF, 0x34, 0x12}, "unknown OS call 0x1234 at 0x9D95"},
        FaultCase{"EndlessLoop", {0x18, 0xFE}, "T-state limit of 1000000"},
        FaultCase{"HaltWithInterruptsOff", {0xF3, 0x76}, "halt at 0x9D96"},
        FaultCase{"OsInterruptWithoutFlags", {0xFD, 0x21, 0x00, 0x00, 0x18, 0xFE}, "IY = 0x0000"},
        FaultCase{"SpeedPortOfAnotherModel", {0xAF, 0xD3, 0x20}, "to port 0x20"}),
    [](const auto& info) { return info.param.name; });

struct LcdTimingCase {
    std::string name;
    emulator::MachineModel model;
    Bytes between;        // code between two commands to the LCD
    std::uint64_t apart;  // T-states between the two accesses
    std::uint64_t gap;    // the rule, in T-states at 6 MHz; 0: the default
    std::size_t violations;
    friend void PrintTo(const LcdTimingCase& c, std::ostream* out) { *out << c.name; }
};

class MachineLcdTiming : public testing::TestWithParam<LcdTimingCase> {};

// Two out (0x10),a access the port at the same point of the instruction, 11 T-states plus what
// runs between them apart; the gap is judged in real time.
TEST_P(MachineLcdTiming, JudgesTheGapBetweenPortAccessesInRealTime) {
    const LcdTimingCase& c = GetParam();
    Machine machine(0, 1, c.model);
    if (c.gap != 0) machine.setLcdGap(c.gap);
    Bytes code = {0x3E, 0x05, 0xD3, 0x10};  // ld a,5; out (0x10),a
    code.insert(code.end(), c.between.begin(), c.between.end());
    code.insert(code.end(), {0xD3, 0x10});
    machine.loadProgram(withReturn(code));
    const auto result = machine.run(kLimit);
    ASSERT_TRUE(result.returned) << result.fault;
    EXPECT_EQ(machine.lcd().gapViolations(), c.violations);
    const std::uint64_t perTState = c.model == emulator::MachineModel::Ti84Plus ? 2 : 5;
    EXPECT_EQ(machine.lcd().smallestGap(), c.apart * perTState);
}

const Bytes kThirteenNops(13, 0x00);

INSTANTIATE_TEST_SUITE_P(
    Gaps, MachineLcdTiming,
    testing::Values(
        LcdTimingCase{"SixtyThreeFailsAtSeventy", emulator::MachineModel::Ti83Plus, kThirteenNops,
                      63, 70, 1},
        LcdTimingCase{"SixtyThreePassesAtSixty", emulator::MachineModel::Ti83Plus, kThirteenNops,
                      63, 60, 0},
        LcdTimingCase{"SixtyThreeFailsByDefault", emulator::MachineModel::Ti83Plus, kThirteenNops,
                      63, 0, 1},
        LcdTimingCase{"SeventyPassesByDefault",
                      emulator::MachineModel::Ti83Plus,
                      {0x3E, 0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                      70,
                      0,
                      0},
        LcdTimingCase{"SixtyThreeAtFifteenMHzFailsAtSixty", emulator::MachineModel::Ti84Plus,
                      kThirteenNops, 63, 60, 1},
        LcdTimingCase{
            "OsDelayRoutine", emulator::MachineModel::Ti83Plus, {0xCD, 0x0B, 0x00}, 93, 0, 0}),
    [](const auto& info) { return info.param.name; });

TEST(Machine, Port6MapsFlashAndRamPagesIntoBankA) {
    Machine machine(0);
    machine.loadFlashPage(3, Bytes{0x42});
    machine.writeRam(0x8000, Bytes{0x77});
    machine.writeRam(0xC000, Bytes{0x55});
    machine.loadProgram(withReturn({
        0x3E, 0x03, 0xD3, 0x06,  // ld a,3; out (6),a
        0x3A, 0x00, 0x40,        // ld a,(0x4000)
        0x32, 0x00, 0x90,        // ld (0x9000),a
        0x3A, 0x01, 0x40,        // ld a,(0x4001)
        0x32, 0x02, 0x90,        // ld (0x9002),a
        0x3E, 0x81, 0xD3, 0x06,  // ld a,0x81; out (6),a
        0x3A, 0x00, 0x40,        // ld a,(0x4000)
        0x32, 0x01, 0x40,        // ld (0x4001),a
        0x3E, 0x80, 0xD3, 0x06,  // ld a,0x80; out (6),a
        0x3A, 0x00, 0x40,        // ld a,(0x4000)
        0x32, 0x03, 0x90,        // ld (0x9003),a
    }));
    const auto result = machine.run(kLimit);
    ASSERT_TRUE(result.returned) << result.fault;
    EXPECT_EQ(machine.readMemory(0x9000), 0x42);
    EXPECT_EQ(machine.readMemory(0x9002), 0xFF);  // erased flash
    EXPECT_EQ(machine.readMemory(0x8001), 0x77);  // RAM page 1 is also bank B
    EXPECT_EQ(machine.readMemory(0x9003), 0x55);  // RAM page 0 is also 0xC000
}

TEST(Machine, RefusesPagesAndAddressesItDoesNotHave) {
    Machine machine;
    EXPECT_THROW(machine.loadFlashPage(0, Bytes{1}), emulator::MachineError);
    EXPECT_THROW(machine.loadFlashPage(emulator::kFlashPages, Bytes{1}), emulator::MachineError);
    EXPECT_THROW(machine.loadFlashPage(1, Bytes(emulator::kPageSize + 1)), emulator::MachineError);
    EXPECT_THROW(machine.writeRam(0x7FFF, Bytes{1}), emulator::MachineError);
    EXPECT_THROW(machine.writeRam(0xFFFF, Bytes{1, 2}), emulator::MachineError);
    EXPECT_THROW(machine.loadProgram(Bytes(emulator::kStackLimit - emulator::kProgramStart + 1)),
                 emulator::MachineError);
}

class MachineTimer : public testing::TestWithParam<int> {};

// The OS handler acknowledges each tick, so every tick is one interrupt; port 4 picks the rate.
TEST_P(MachineTimer, TakesOneInterruptPerTickInMode1) {
    Machine machine(555);
    Bytes code = {0x3E, static_cast<std::uint8_t>(GetParam() << 1), 0xD3, 0x04};  // out (4),a
    code.insert(code.end(), kSpin.begin(), kSpin.end());
    machine.loadProgram(withReturn(code));
    const auto result = machine.run(kLimit);
    ASSERT_TRUE(result.returned) << result.fault;
    const double hz = emulator::kTimerRates[GetParam()];
    EXPECT_EQ(machine.interruptsTaken(),
              static_cast<std::size_t>(static_cast<double>(result.tStates - 11) * hz /
                                       static_cast<double>(emulator::kClockHz)));
    EXPECT_GE(machine.interruptsTaken(), 2U);
    EXPECT_TRUE(machine.exitCheck().all());
}

INSTANTIATE_TEST_SUITE_P(Rates, MachineTimer, testing::Values(0, 1, 2, 3));

class MachineMode2 : public testing::TestWithParam<std::uint32_t> {};

// A vector table whose even and odd bus bytes lead to two handlers, each counting its calls and
// chaining to the OS's: both must run, so the bus byte varies; the jumps the program wrote into
// RAM may run.
TEST_P(MachineMode2, ReadsTheVectorFromARandomBusByte) {
    Machine machine(emulator::kTimerRates[0], GetParam());
    Bytes code = {
        0xF3,                    // di
        0x21, 0x00, 0x99,        // ld hl,0x9900
        0x06, 0x80,              // ld b,128
        0x36, 0x9A, 0x23,        // ld (hl),0x9A; inc hl
        0x36, 0x9B, 0x23,        // ld (hl),0x9B; inc hl
        0x10, 0xF8,              // djnz -8
        0x36, 0x9A,              // ld (hl),0x9A
        0x3E, 0xC3,              // ld a,0xC3 (jp)
        0x32, 0x9A, 0x9B,        // ld (0x9B9A),a: even bytes lead here
        0x32, 0x9B, 0x9A,        // ld (0x9A9B),a: odd bytes here
        0x21, 0x00, 0x00,        // ld hl,even handler (patched below)
        0x22, 0x9B, 0x9B,        // ld (0x9B9B),hl
        0x21, 0x00, 0x00,        // ld hl,odd handler (patched below)
        0x22, 0x9C, 0x9A,        // ld (0x9A9C),hl
        0x3E, 0x99, 0xED, 0x47,  // ld a,0x99; ld i,a
        0xED, 0x5E, 0xFB,        // im 2; ei
    };
    code.insert(code.end(), kSpin.begin(), kSpin.end());
    code.insert(code.end(), {0xED, 0x56, 0xC9});  // im 1; ret
    for (std::uint8_t counter : {0, 1}) {
        const auto handler = static_cast<std::uint16_t>(emulator::kProgramStart + code.size());
        code[counter == 0 ? 25 : 31] = handler & 0xFF;
        code[counter == 0 ? 26 : 32] = handler >> 8;
        code.insert(code.end(), {
                                    0xF5,                 // push af
                                    0x3A, counter, 0x90,  // ld a,(counter)
                                    0x3C,                 // inc a
                                    0x32, counter, 0x90,  // ld (counter),a
                                    0xF1,                 // pop af
                                    0xC3, 0x38, 0x00,     // jp 0x0038
                                });
    }
    machine.loadProgram(code);
    const auto result = machine.run(kLimit);
    ASSERT_TRUE(result.returned) << result.fault;
    EXPECT_GE(machine.interruptsTaken(), 20U);
    EXPECT_GT(machine.readMemory(0x9000), 0);
    EXPECT_GT(machine.readMemory(0x9001), 0);
    EXPECT_EQ(machine.readMemory(0x9000) + machine.readMemory(0x9001), machine.interruptsTaken());
    EXPECT_EQ(machine.cpu().im, 1);
}

INSTANTIATE_TEST_SUITE_P(Seeds, MachineMode2, testing::Values(1U, 2U, 77U));

// Selects key group mask on its own: 0xFF first, then the group, each followed by 38 T-states
// (ex (sp),hl twice) for the lines to settle.
Bytes selectGroup(std::uint8_t mask) {
    return {0x3E, 0xFF, 0xD3, 0x01, 0xE3, 0xE3, 0x3E, mask, 0xD3, 0x01, 0xE3, 0xE3};
}

// Three frames, each drawing one pixel; [CLEAR] ends the loop early; the screen is cleared
// through the OS before returning.
Bytes frameProgram() {
    Bytes code = {0x06, 0x03};  // ld b,3
    const Bytes select = selectGroup(0xFD);
    code.insert(code.end(), select.begin(), select.end());  // frame_begin (0x9D97)
    code.insert(code.end(), {
                                0xDB, 0x01,        // in a,(1)
                                0xE6, 0x40,        // and 0x40
                                0x28, 0x07,        // jr z,quit
                                0x3E, 0x80,        // ld a,0x80
                                0xD3, 0x11,        // out (0x11),a
                                0x00,              // frame_shown (0x9DAD): nop
                                0x10, 0xE7,        // djnz frame_begin
                                0xEF, 0x40, 0x45,  // quit: rst 0x28; .dw _ClrLCDFull
                                0xC9,              // ret
                            });
    return code;
}
constexpr std::uint16_t kFrameBegin = 0x9D97;
constexpr std::uint16_t kFrameShown = 0x9DAD;

TEST(Machine, TimesEachFrameBetweenItsLabels) {
    Machine machine(0);
    machine.loadProgram(frameProgram());
    machine.setFrameLabels(kFrameBegin, kFrameShown);
    std::vector<std::size_t> darkRows;
    machine.onFrameShown([&](const emulator::FrameTiming& timing) {
        const auto picture = machine.lcdPicture();
        EXPECT_TRUE(picture.bit(timing.frame * emulator::Lcd::kWidth));
        darkRows.push_back(static_cast<std::size_t>(
            std::count(picture.bytes().begin(), picture.bytes().end(), std::uint8_t{0x80})));
    });
    const auto result = machine.run(kLimit);
    ASSERT_TRUE(result.returned) << result.fault;
    EXPECT_EQ(darkRows, (std::vector<std::size_t>{1, 2, 3}));
    ASSERT_EQ(machine.frames().size(), 3U);
    for (const auto& frame : machine.frames()) {
        EXPECT_EQ(frame.used(), 155U);
        EXPECT_EQ(frame.realUsed(), 155U * emulator::kRealPerSlowTState);
    }
    EXPECT_EQ(machine.frames()[0].begin, 7U);
    EXPECT_EQ(machine.frames()[0].waited, 17U);
    EXPECT_EQ(machine.frames()[2].waited, 4U + 8 + 11 + 60'000 + 10);
    EXPECT_EQ(machine.bcalls(), (std::vector<std::uint16_t>{emulator::kClrLcdFull}));
    EXPECT_TRUE(machine.exitCheck().all()) << emulator::exitProblems(machine.exitCheck());
}

struct WaitedCase {
    std::string name;
    bool waitedLabel;
    std::uint64_t used;    // by frames 1 and 2
    std::uint64_t waited;  // by frames 0 and 1
};

class MachineFrameWaited : public testing::TestWithParam<WaitedCase> {};

// frame_begin: nop; frame_shown: nop; three nops of waiting; frame_waited: nop; djnz: a frame's
// used time starts where its wait ended, so it holds the djnz.
TEST_P(MachineFrameWaited, StartsAFramesUsedTimeWhereTheWaitEnded) {
    Machine machine(0);
    machine.loadProgram(withReturn({0x06, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0xF8}));
    if (GetParam().waitedLabel) {
        machine.setFrameLabels(0x9D97, 0x9D98, 0x9D9C);
    } else {
        machine.setFrameLabels(0x9D97, 0x9D98);
    }
    const auto result = machine.run(kLimit);
    ASSERT_TRUE(result.returned) << result.fault;
    const auto& frames = machine.frames();
    ASSERT_EQ(frames.size(), 3U);
    EXPECT_EQ(frames[0].used(), 4U);
    for (std::size_t k : {1U, 2U})
        EXPECT_EQ(frames[k].used(), GetParam().used) << "frame " << k;
    for (std::size_t k : {0U, 1U}) {
        EXPECT_EQ(frames[k].waited, GetParam().waited) << "frame " << k;
        EXPECT_EQ(frames[k].realWaited, GetParam().waited * emulator::kRealPerSlowTState);
    }
}

INSTANTIATE_TEST_SUITE_P(Labels, MachineFrameWaited,
                         testing::Values(WaitedCase{"FrameWaited", true, 21, 16},
                                         WaitedCase{"FrameBeginOnly", false, 4, 33}),
                         [](const auto& info) { return info.param.name; });

struct TempoCase {
    std::string name;
    emulator::MachineModel model;
    Bytes start;  // runs before the frames
    std::uint64_t realPerTState;
};

class MachineTempo : public testing::TestWithParam<TempoCase> {};

// Frames paced by a spin of T-states: at 15 MHz they come 2.5 times as fast in real time
// unless the program sets 6 MHz. Port 2 bit 7 tells the models apart.
TEST_P(MachineTempo, PacesFramesCountedInTStatesByTheClock) {
    const TempoCase& c = GetParam();
    Machine machine(0, 1, c.model);
    Bytes code = {0xDB, 0x02, 0x32, 0x00, 0x90};  // in a,(2); ld (0x9000),a
    code.insert(code.end(), c.start.begin(), c.start.end());
    const auto at = static_cast<std::uint16_t>(emulator::kProgramStart + code.size());
    code.insert(code.end(), {0x06, 0x03, 0xC5});  // ld b,3; frame_begin: push bc
    code.insert(code.end(), kSpin.begin(), kSpin.end());
    code.insert(code.end(), {0xC1, 0x00, 0x10, 0xF3});  // pop bc; frame_shown: nop; djnz
    machine.loadProgram(withReturn(code));
    machine.setFrameLabels(static_cast<std::uint16_t>(at + 2), static_cast<std::uint16_t>(at + 12));
    const auto result = machine.run(kLimit);
    ASSERT_TRUE(result.returned) << result.fault;
    const auto& frames = machine.frames();
    ASSERT_EQ(frames.size(), 3U);
    EXPECT_EQ(frames[2].realShown - frames[1].realShown,
              (frames[2].shown - frames[1].shown) * c.realPerTState);
    EXPECT_EQ(machine.readMemory(0x9000) >> 7, c.model == emulator::MachineModel::Ti84Plus);
}

INSTANTIATE_TEST_SUITE_P(
    Clocks, MachineTempo,
    testing::Values(TempoCase{"Ti83Plus", emulator::MachineModel::Ti83Plus, {}, 5},
                    TempoCase{"Ti84PlusAsTheOsLeftIt", emulator::MachineModel::Ti84Plus, {}, 2},
                    TempoCase{"Ti84PlusAtSixMHz",
                              emulator::MachineModel::Ti84Plus,
                              {0xAF, 0xD3, 0x20},  // xor a; out (0x20),a
                              5}),
    [](const auto& info) { return info.param.name; });

struct KeypadCase {
    std::string name;
    double timerHz;
    std::vector<emulator::Key> held;
    Bytes code;  // then in a,(1); ld (0x9000),a
    std::uint8_t read;
    friend void PrintTo(const KeypadCase& c, std::ostream* out) { *out << c.name; }
};

class MachineKeypad : public testing::TestWithParam<KeypadCase> {};

TEST_P(MachineKeypad, ReadsTheSelectedGroupsOnceSettled) {
    const KeypadCase& c = GetParam();
    Machine machine(c.timerHz);
    for (const emulator::Key key : c.held)
        machine.holdKey(key);
    Bytes code = c.code;
    code.insert(code.end(), {0xDB, 0x01, 0x32, 0x00, 0x90});
    machine.loadProgram(withReturn(code));
    const auto result = machine.run(kLimit);
    ASSERT_TRUE(result.returned) << result.fault;
    EXPECT_EQ(machine.readMemory(0x9000), c.read);
}

Bytes joined(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Bytes kWaitForTick = {0xFB, 0x76};  // ei; halt
const Bytes kSelectClearOnly = {0x3E, 0xFD, 0xD3, 0x01, 0xE3, 0xE3};

INSTANTIATE_TEST_SUITE_P(
    Probes, MachineKeypad,
    testing::Values(
        KeypadCase{"GroupAfterReset", 0, {emulator::kKeyClear}, selectGroup(0xFD), 0xBF},
        KeypadCase{"OtherGroup", 0, {emulator::kKeyClear}, selectGroup(0xFE), 0xFF},
        KeypadCase{"ReadBeforeTheLinesSettle",
                   0,
                   {emulator::kKeyClear},
                   {0x3E, 0xFF, 0xD3, 0x01, 0xE3, 0xE3, 0x3E, 0xFD, 0xD3, 0x01},
                   0xFF},
        KeypadCase{"GroupsAddUpUntilReset",
                   0,
                   {emulator::kKeyClear, {0, 2}},
                   joined(selectGroup(0xFE), kSelectClearOnly),
                   0xBB},
        KeypadCase{"ModeReadsAsClearAfterAnOsTick",
                   emulator::kTimerRates[0],
                   {emulator::kKeyMode},
                   joined(kWaitForTick, kSelectClearOnly),
                   0xBF},
        KeypadCase{"ResetAfterAnOsTick",
                   emulator::kTimerRates[0],
                   {emulator::kKeyMode},
                   joined(kWaitForTick, selectGroup(0xFD)),
                   0xFF}),
    [](const auto& info) { return info.param.name; });

struct HandlerCase {
    std::string name;
    std::vector<emulator::Key> held;
    bool pressOn;
    std::uint8_t scanCode;  // left in kbdScanCode
    bool onInterrupt;
};

class MachineOsHandler : public testing::TestWithParam<HandlerCase> {};

// exx; ld hl,0x1234; exx; ei; spin; exx; ld (0x9000),hl; exx: the handler clobbers HL'.
TEST_P(MachineOsHandler, ScansKeysLatchesOnAndClobbersTheShadowRegisters) {
    const HandlerCase& c = GetParam();
    Machine machine(emulator::kTimerRates[0]);
    for (const emulator::Key key : c.held)
        machine.holdKey(key);
    if (c.pressOn) machine.pressOn(1'000);
    Bytes code = {0xD9, 0x21, 0x34, 0x12, 0xD9, 0xFB};
    code.insert(code.end(), kSpin.begin(), kSpin.end());
    code.insert(code.end(), {0xD9, 0x22, 0x00, 0x90, 0xD9});
    machine.loadProgram(withReturn(code));
    const auto result = machine.run(kLimit);
    ASSERT_TRUE(result.returned) << result.fault;
    EXPECT_NE(machine.readMemory(0x9000) | machine.readMemory(0x9001) << 8, 0x1234);
    EXPECT_EQ(machine.readMemory(0x843F), c.scanCode);
    EXPECT_EQ((machine.readMemory(emulator::kOsFlags) >> emulator::kKbdScr) & 1,
              c.scanCode != 0 ? 1 : 0);
    EXPECT_EQ(machine.exitCheck().onClear, !c.onInterrupt);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, MachineOsHandler,
    testing::Values(HandlerCase{"NoKey", {}, false, 0, false},
                    HandlerCase{"Clear", {emulator::kKeyClear}, false, 0x0F, false},
                    HandlerCase{"Mode", {emulator::kKeyMode}, false, 0x37, false},
                    HandlerCase{"On", {}, true, 0, true}),
    [](const auto& info) { return info.param.name; });

// ei; halt; ret: the tick comes at the same time, the handler costs 1,600 T-states more with a
// key down.
TEST(Machine, OsHandlerCostsMoreWithAKeyDown) {
    std::uint64_t tStates[2] = {};
    for (int down : {0, 1}) {
        Machine machine(emulator::kTimerRates[0]);
        if (down) machine.holdKey({0, 0});
        machine.loadProgram(withReturn(kWaitForTick));
        const auto result = machine.run(kLimit);
        ASSERT_TRUE(result.returned) << result.fault;
        tStates[down] = result.tStates;
    }
    EXPECT_EQ(tStates[1] - tStates[0], emulator::kHandlerKeyCost - emulator::kHandlerIdleCost);
}

struct PowerDownCase {
    std::string name;
    Bytes start;  // before ei and the spin
    Bytes end;    // after it
    bool switchedOff;
};

class MachinePowerDown : public testing::TestWithParam<PowerDownCase> {};

TEST_P(MachinePowerDown, SwitchesOffWhenTheCountdownRunsOut) {
    Machine machine(emulator::kTimerRates[0]);
    machine.setPowerDownTicks(10);
    Bytes code = GetParam().start;
    code.push_back(0xFB);  // ei
    code.insert(code.end(), kSpin.begin(), kSpin.end());
    code.insert(code.end(), GetParam().end.begin(), GetParam().end.end());
    machine.loadProgram(withReturn(code));
    const auto result = machine.run(kLimit);
    EXPECT_EQ(result.returned, !GetParam().switchedOff) << result.fault;
    if (GetParam().switchedOff) {
        EXPECT_EQ(result.fault, "the calculator switched itself off");
    } else {
        EXPECT_TRUE(machine.exitCheck().all()) << emulator::exitProblems(machine.exitCheck());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Programs, MachinePowerDown,
    testing::Values(PowerDownCase{"LeftRunning", {}, {}, true},
                    PowerDownCase{"Stopped",
                                  {0xFD, 0xCB, 0x08, 0x9E},  // res apdRunning,(iy+apdFlags)
                                  {0xFD, 0xCB, 0x08, 0xDE},  // set apdRunning,(iy+apdFlags)
                                  false}),
    [](const auto& info) { return info.param.name; });

TEST(Machine, ClearPressedAtAFrameStopsTheProgram) {
    Machine machine(0);
    machine.loadProgram(frameProgram());
    machine.setFrameLabels(kFrameBegin, kFrameShown);
    machine.pressKeyAtFrame(emulator::kKeyClear, 1);
    const auto result = machine.run(kLimit);
    ASSERT_TRUE(result.returned) << result.fault;
    EXPECT_EQ(machine.frames().size(), 1U);
    // The player returned at once, with [CLEAR] still down.
    EXPECT_EQ(emulator::exitProblems(machine.exitCheck()),
              "[CLEAR] still down when the program returned");
}

struct ExitCase {
    std::string name;
    emulator::MachineModel model;
    Bytes code;
    bool holdClear;
    bool emulator::ExitCheck::*rule;  // the one rule broken; nullptr: none
    std::string message;
    friend void PrintTo(const ExitCase& c, std::ostream* out) { *out << c.name; }
};

class MachineExitCheck : public testing::TestWithParam<ExitCase> {};

TEST_P(MachineExitCheck, NamesTheOneRuleBroken) {
    const ExitCase& c = GetParam();
    Machine machine(0, 1, c.model);
    if (c.holdClear) machine.holdKey(emulator::kKeyClear);
    machine.loadProgram(withReturn(c.code));
    const auto result = machine.run(kLimit);
    ASSERT_TRUE(result.returned) << result.fault;
    const auto check = machine.exitCheck();
    EXPECT_EQ(emulator::exitProblems(check), c.message);
    if (c.rule != nullptr) {
        EXPECT_FALSE(check.*c.rule);
    } else {
        EXPECT_TRUE(check.all());
    }
}

using emulator::ExitCheck;
using emulator::MachineModel;

INSTANTIATE_TEST_SUITE_P(
    Programs, MachineExitCheck,
    testing::Values(ExitCase{"Nothing", MachineModel::Ti84Plus, {}, false, nullptr, ""},
                    ExitCase{"FlagsPointer",
                             MachineModel::Ti83Plus,
                             {0xFD, 0x21, 0x00, 0x00},
                             false,
                             &ExitCheck::flags,
                             "IY 0x0000 instead of 0x89F0"},
                    ExitCase{"InterruptsOff",
                             MachineModel::Ti83Plus,
                             {0xF3},
                             false,
                             &ExitCheck::interrupts,
                             "interrupts disabled"},
                    ExitCase{"PixelLeft",
                             MachineModel::Ti83Plus,
                             {0x3E, 0x80, 0xD3, 0x11},
                             false,
                             &ExitCheck::screenClear,
                             "the screen not cleared"},
                    ExitCase{
                        "PowerDownStopped",
                        MachineModel::Ti83Plus,
                        {0xFD, 0xCB, 0x08, 0x9E},
                        false,
                        &ExitCheck::powerDown,
                        "auto power-down left with apdAble nor apdRunning instead of apdAble and "
                        "apdRunning"},
                    ExitCase{"ScanCodeLeft",
                             MachineModel::Ti83Plus,
                             {0x3E, 0x0F, 0x32, 0x3F, 0x84},
                             false,
                             &ExitCheck::noKeyPending,
                             "a key left pending (kbdScanCode 0x0F, or kbdKey, kbdGetKy, kbdSCR)"},
                    ExitCase{"ClearDown",
                             MachineModel::Ti83Plus,
                             {},
                             true,
                             &ExitCheck::clearUp,
                             "[CLEAR] still down when the program returned"},
                    ExitCase{"OnInterruptLeft",
                             MachineModel::Ti83Plus,
                             {0xFD, 0xCB, 0x09, 0xE6},
                             false,
                             &ExitCheck::onClear,
                             "onInterrupt left set"},
                    ExitCase{"GraphBufferChanged",
                             MachineModel::Ti83Plus,
                             {0x32, 0x40, 0x93},
                             false,
                             &ExitCheck::graphDraw,
                             "the graph buffer changed without graphDraw set"},
                    ExitCase{"GraphBufferChangedAndRedrawn",
                             MachineModel::Ti83Plus,
                             {0x32, 0x40, 0x93, 0xFD, 0xCB, 0x03, 0xC6},
                             false,
                             nullptr,
                             ""},
                    ExitCase{"Ti83GraphBuffer",
                             MachineModel::Ti83,
                             {0x32, 0x29, 0x8E},
                             false,
                             &ExitCheck::graphDraw,
                             "the graph buffer changed without graphDraw set"},
                    ExitCase{"SpeedChanged",
                             MachineModel::Ti84Plus,
                             {0xAF, 0xD3, 0x20},
                             false,
                             &ExitCheck::speed,
                             "the CPU speed (port 0x20) left at 0x00 instead of 0x01"},
                    ExitCase{"RunIndicatorOff",
                             MachineModel::Ti83Plus,
                             {0xFD, 0xCB, 0x12, 0x86},
                             false,
                             &ExitCheck::runIndicator,
                             "the run indicator not restored"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
