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
        FaultCase{"OsInterruptWithoutFlags", {0xFD, 0x21, 0x00, 0x00, 0x18, 0xFE}, "IY = 0x0000"}),
    [](const auto& info) { return info.param.name; });

struct LcdTimingCase {
    std::string name;
    Bytes between;  // code between two commands to the LCD
    std::size_t violations;
    friend void PrintTo(const LcdTimingCase& c, std::ostream* out) { *out << c.name; }
};

class MachineLcdTiming : public testing::TestWithParam<LcdTimingCase> {};

// Two out (0x10),a access the port at the same point of the instruction, 11 T-states plus what
// runs between them apart.
TEST_P(MachineLcdTiming, TimesPortAccessesWithinTheInstruction) {
    Machine machine(0);
    Bytes code = {0x3E, 0x05, 0xD3, 0x10};  // ld a,5; out (0x10),a
    code.insert(code.end(), GetParam().between.begin(), GetParam().between.end());
    code.insert(code.end(), {0xD3, 0x10});
    machine.loadProgram(withReturn(code));
    const auto result = machine.run(kLimit);
    ASSERT_TRUE(result.returned) << result.fault;
    EXPECT_EQ(machine.lcd().gapViolations(), GetParam().violations);
}

INSTANTIATE_TEST_SUITE_P(Gaps, MachineLcdTiming,
                         testing::Values(LcdTimingCase{"FiftyNine", Bytes(12, 0x00), 1},
                                         LcdTimingCase{"SixtyThree", Bytes(13, 0x00), 0},
                                         LcdTimingCase{"OsDelayRoutine", {0xCD, 0x0B, 0x00}, 0}),
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

// Three frames, each drawing one pixel; [CLEAR] ends the loop early; the screen is cleared
// through the OS before returning.
const Bytes kFramePlayer = withReturn({
    0x06, 0x03,        // ld b,3
    0x3E, 0xFD,        // frame_begin (0x9D97): ld a,0xFD
    0xD3, 0x01,        // out (1),a
    0xDB, 0x01,        // in a,(1)
    0xE6, 0x40,        // and 0x40
    0x28, 0x07,        // jr z,quit
    0x3E, 0x80,        // ld a,0x80
    0xD3, 0x11,        // out (0x11),a
    0x00,              // frame_shown (0x9DA5): nop
    0x10, 0xEF,        // djnz frame_begin
    0xEF, 0x40, 0x45,  // quit: rst 0x28; .dw _ClrLCDFull
});

TEST(Machine, TimesEachFrameBetweenItsLabels) {
    Machine machine(0);
    machine.loadProgram(kFramePlayer);
    machine.setFrameLabels(0x9D97, 0x9DA5);
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
    for (const auto& frame : machine.frames())
        EXPECT_EQ(frame.used(), 61U);
    EXPECT_EQ(machine.frames()[0].begin, 7U);
    EXPECT_EQ(machine.frames()[0].waited, 17U);
    EXPECT_EQ(machine.frames()[2].waited, 4U + 8 + 11 + 60'000 + 10);
    EXPECT_EQ(machine.bcalls(), (std::vector<std::uint16_t>{emulator::kClrLcdFull}));
    EXPECT_TRUE(machine.exitCheck().all());
}

TEST(Machine, ClearPressedAtAFrameStopsThePlayer) {
    Machine machine(0);
    machine.loadProgram(kFramePlayer);
    machine.setFrameLabels(0x9D97, 0x9DA5);
    machine.pressKeyAtFrame(emulator::kKeyClear, 1);
    const auto result = machine.run(kLimit);
    ASSERT_TRUE(result.returned) << result.fault;
    EXPECT_EQ(machine.frames().size(), 1U);
    EXPECT_TRUE(machine.exitCheck().all());
}

TEST(Machine, KeysReadOnlyInTheirSelectedGroup) {
    Machine machine(0);
    machine.loadProgram(withReturn({
        0x3E, 0xFE, 0xD3, 0x01, 0xDB, 0x01, 0x32, 0x00, 0x90,  // group 0 -> (0x9000)
        0x3E, 0xFD, 0xD3, 0x01, 0xDB, 0x01, 0x32, 0x01, 0x90,  // group 1 -> (0x9001)
    }));
    machine.pressKey(emulator::kKeyClear, 0);
    machine.pressKey({0, 2}, 0);
    machine.releaseKey({0, 2}, 20);
    const auto result = machine.run(kLimit);
    ASSERT_TRUE(result.returned) << result.fault;
    EXPECT_EQ(machine.readMemory(0x9000), 0xFB);
    EXPECT_EQ(machine.readMemory(0x9001), 0xBF);
}

TEST(Machine, ExitCheckNamesWhatTheProgramLeftWrong) {
    Machine machine(0);
    machine.loadProgram(withReturn({0xFD, 0x21, 0x00, 0x00, 0xF3, 0x3E, 0x80, 0xD3, 0x11}));
    const auto result = machine.run(kLimit);
    ASSERT_TRUE(result.returned) << result.fault;
    const auto check = machine.exitCheck();
    EXPECT_TRUE(check.stack);
    EXPECT_TRUE(check.mode1);
    EXPECT_FALSE(check.flags);
    EXPECT_FALSE(check.interrupts);
    EXPECT_FALSE(check.screenClear);
    EXPECT_FALSE(check.all());
}

}  // namespace
