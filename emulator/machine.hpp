#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "bitstring.hpp"
#include "lcd.hpp"

namespace emulator {

// The CPU clock of the 83 Plus, in T-states a second.
inline constexpr std::uint64_t kClockHz = 6'000'000;
// The faster clock of the TI-83 Plus SE and TI-84 Plus family (port 0x20 = 1 to 3).
inline constexpr std::uint64_t kFastClockHz = 15'000'000;
// Where the OS puts an assembly program: the two header bytes, then the code.
inline constexpr std::uint16_t kProgramHeader = 0x9D93;
inline constexpr std::uint16_t kProgramStart = 0x9D95;
// Code, data and stack share RAM; the stack lives at and above this address.
inline constexpr std::uint16_t kStackLimit = 0xFE00;
// SP when the program starts; the return address into the OS is on top.
inline constexpr std::uint16_t kEntryStack = 0xFFDD;
// The OS flags IY must point at whenever the OS runs (its interrupt handler included).
inline constexpr std::uint16_t kOsFlags = 0x89F0;
// Addresses in the emulated OS: the LCD delay routine, the OS-call entry (rst 0x28, then the
// routine's two-byte address), the IM 1 interrupt handler, and the return point that ends a run.
inline constexpr std::uint16_t kLcdDelayRoutine = 0x000B;
inline constexpr std::uint16_t kBcallEntry = 0x0028;
inline constexpr std::uint16_t kInterruptHandler = 0x0038;
inline constexpr std::uint16_t kOsReturn = 0x0060;
// The OS calls answered from the start.
inline constexpr std::uint16_t kClrLcdFull = 0x4540;
inline constexpr std::uint16_t kClrScrnFull = 0x4546;
inline constexpr std::uint16_t kHomeUp = 0x4558;
inline constexpr std::uint16_t kGrBufClr = 0x4BD0;
// The four timer rates of the 83 Plus, selected by bits 1-2 of a write to port 4.
inline constexpr double kTimerRates[4] = {560.0, 248.0, 170.0, 118.0};
// The TI-83 Plus SE and TI-84 Plus family derive the four rates from their 32,768 Hz crystal,
// selected as on the 83 Plus by bits 1-2 of a write to port 4 (WikiTI 83Plus:Ports:04): 512,
// 227.55, 146.29 and 107.79 Hz.
inline constexpr double kTi84PlusTimerRates[4] = {32768.0 / 64, 32768.0 / 144, 32768.0 / 224,
                                                  32768.0 / 304};
// The TI-83's timer, an RC oscillator: periods of about 12,000, 28,000, 44,000 and 62,000
// T-states, selected by bits 1-2 of a write to port 4; they drift with the batteries.
inline constexpr double kTi83TimerRates[4] = {6e6 / 12'000, 6e6 / 28'000, 6e6 / 44'000,
                                              6e6 / 62'000};
// The TI-82's timer: the TI-83's RC circuit, its period proportional to 3 + 2 x (bits 1-2 of
// port 4), about 490 Hz at the fastest.
inline constexpr double kTi82TimerRates[4] = {490.0, 490.0 * 3 / 7, 490.0 * 3 / 11, 490.0 * 3 / 15};
// The OS flags of the TI-82, IY while its OS runs.
inline constexpr std::uint16_t kTi82OsFlags = 0x8528;
// Where a TI-83 program's variables begin in RAM (the OS's user memory).
inline constexpr std::uint16_t kTi83UserMemory = 0x9327;

// The calculator a Machine emulates.
enum class MachineModel {
    Ti83Plus,  // ports 6 and 7 page flash and RAM; OS calls through rst 0x28; port 4 reads
               // the interrupt status, port 3 the mask
    Ti83,      // 32 KB of RAM at 0x8000, code may run anywhere in it; OS calls are plain calls
               // into the ROM; port 3 reads the interrupt status, port 4 reads nothing; ports 2
               // and 0x20 are no business of a program
    Ti84Plus,  // the TI-83 Plus SE and TI-84 Plus family: as the 83 Plus, with port 2 bit 7 set,
               // the CPU speed in port 0x20 (15 MHz when a program starts) and crystal timers
    Ti82,      // as the TI-83, with the TI-82's OS flags (IY), graph buffer and timer
};

// The timer rates port 4 selects on model.
std::span<const double, 4> timerRates(MachineModel model) noexcept;

// Where the OS keeps what its interrupt handler and the exit check look at. TI-83 Plus family:
// ti83plus.inc. TI-83: ti83asm.inc names apdvar (0x800A), contrastvar (0x8008), CURROW (0x800C)
// and PLOTSSCREEN (0x8E29); the key bytes lie before them in the 83 Plus's order.
struct OsAddresses {
    std::uint16_t kbdScanCode;  // the scan code of the last new key
    std::uint16_t kbdKey;
    std::uint16_t kbdGetKy;
    std::uint16_t apdSubTimer;  // counts the ticks down; each time it reaches 0, apdTimer does
    std::uint16_t apdTimer;     // at 0 the calculator switches itself off
    std::uint16_t plotSScreen;  // the graph buffer, 768 bytes
    std::uint16_t flags;        // the OS flags IY points at while the OS runs
};
const OsAddresses& osAddresses(MachineModel model) noexcept;

// OS flag bytes, as offsets from IY, and their bits.
inline constexpr std::uint8_t kKbdFlags = 0x00;  // bit kKbdScr: a scan code is ready
inline constexpr int kKbdScr = 3;
inline constexpr std::uint8_t kGraphFlags = 0x03;  // bit kGraphDraw: the graph must be redrawn
inline constexpr int kGraphDraw = 0;
inline constexpr std::uint8_t kApdFlags = 0x08;  // bits kApdAble and kApdRunning
inline constexpr int kApdAble = 2;
inline constexpr int kApdRunning = 3;
inline constexpr std::uint8_t kOnFlags = 0x09;  // bit kOnInterrupt: [ON] was pressed
inline constexpr int kOnInterrupt = 4;
inline constexpr std::uint8_t kIndicFlags = 0x12;  // bit kIndicRun: the run indicator shows
inline constexpr int kIndicRun = 0;
// apdTimer's value after a key press: with apdSubTimer, 0x74 x 256 ticks until the calculator
// switches itself off (29,696 ticks: 251.7 s at 118 Hz, 275.5 s at 107.79 Hz).
inline constexpr std::uint8_t kApdReload = 0x74;
// What the OS interrupt handler costs a tick, in T-states, with no key down and with one.
inline constexpr std::uint64_t kHandlerIdleCost = 500;
inline constexpr std::uint64_t kHandlerKeyCost = 2'100;
// The rules' default figures, in T-states at 6 MHz (real time): the LCD driver's gap between two
// accesses, the time key lines take to settle after a group is selected.
inline constexpr std::uint64_t kDefaultLcdGap = 70;
inline constexpr std::uint64_t kDefaultKeySettle = 24;
// Flash pages of 16 KB, as many as a TI-84 Plus has; page 0 is the emulated OS, always seen at
// 0x0000.
inline constexpr int kFlashPages = 64;
inline constexpr std::size_t kPageSize = 0x4000;

// A program, data or flash page that does not fit the machine.
class MachineError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A key: its group (0-6; writing a mask with bit group clear to port 1 selects it) and its bit.
struct Key {
    int group = 0;
    int bit = 0;
};
inline constexpr Key kKeyClear{1, 6};
inline constexpr Key kKeyMode{6, 6};
// [ON] is no key of port 1: it raises an interrupt of its own and shows in port 3 / 4 bit 3.
inline constexpr Key kKeyOn{7, 0};
// The scan code the OS gives key: skClear = 0x0F, skMode = 0x37 (ti83plus.inc).
int scanCode(Key key) noexcept;
// How long a key pressed at a frame stays down: 0.2 s, in T-states at 6 MHz.
inline constexpr std::uint64_t kFramePressLength = kClockHz / 5;

// The timing of one frame the program showed, in T-states since the start and in real time
// (units of 1 / kRealTimeHz seconds since the start).
struct FrameTiming {
    std::size_t frame = 0;     // from 0
    std::uint64_t begin = 0;   // the program reached frame_begin, or frame_waited after the
                               // previous frame_shown, whichever came first
    std::uint64_t shown = 0;   // it reached frame_shown
    std::uint64_t waited = 0;  // from shown to the next frame's begin or the end of the run
    std::uint64_t realBegin = 0;
    std::uint64_t realShown = 0;
    std::uint64_t realWaited = 0;
    std::uint64_t used() const noexcept { return shown - begin; }
    std::uint64_t realUsed() const noexcept { return realShown - realBegin; }
};

// The registers the OS cares about when the program returns.
struct CpuState {
    std::uint16_t pc = 0;
    std::uint16_t sp = 0;
    std::uint16_t iy = 0;
    int im = 0;
    bool iff1 = false;
};

// How a run ended.
struct RunResult {
    bool returned = false;  // the program returned to the OS; otherwise fault says why it stopped
    std::string fault;
    std::uint64_t tStates = 0;
    std::uint64_t realTime = 0;  // in units of 1 / kRealTimeHz seconds
};

// Whether the program left the OS as it found it.
struct ExitCheck {
    bool stack = false;         // SP as at entry, the return address popped
    bool flags = false;         // IY = kOsFlags
    bool mode1 = false;         // interrupt mode 1
    bool interrupts = false;    // interrupts enabled
    bool screenClear = false;   // the display on, showing no dark pixel
    bool powerDown = false;     // apdAble and apdRunning as at entry
    bool noKeyPending = false;  // kbdScanCode, kbdKey, kbdGetKy 0 and kbdSCR clear
    bool clearUp = false;       // [CLEAR] up when the program returned
    bool onClear = false;       // onInterrupt clear
    bool graphDraw = false;     // graphDraw set if the program changed the graph buffer
    bool speed = false;         // port 0x20 as at entry
    bool runIndicator = false;  // indicRun as at entry
    // What the values were, for the messages.
    std::uint16_t sp = 0;
    std::uint16_t expectedSp = 0;
    std::uint16_t iy = 0;
    std::uint16_t expectedIy = 0;
    int im = 0;
    std::uint8_t apdFlagsAtEntry = 0;
    std::uint8_t apdFlagsAtExit = 0;
    std::uint8_t scanCode = 0;
    std::uint8_t speedAtEntry = 0;
    std::uint8_t speedAtExit = 0;
    bool all() const noexcept {
        return stack && flags && mode1 && interrupts && screenClear && powerDown && noKeyPending &&
               clearUp && onClear && graphDraw && speed && runIndicator;
    }
};

// The rules check failed, as one text ("" when it passed).
std::string exitProblems(const ExitCheck& check);

// The registers an OS call may read and change.
enum class Register { AF, BC, DE, HL, IX, IY, SP, PC };

// An emulated 83 Plus running one assembly program: Z80 at 6 MHz (the 84 Plus: 6 or 15 MHz),
// timed in T-states and in real time, the OS's memory map (flash
// page 0 at 0x0000, bank A at 0x4000 through port 6, bank B at 0x8000 through port 7, RAM page
// 0 at 0xC000), the LCD, the keyboard, the timer interrupt and the OS calls the program makes;
// or, with MachineModel::Ti83, a TI-83 (ROM at 0x0000-0x7FFF, RAM from 0x8000), and with
// MachineModel::Ti82 the same with the TI-82's OS flags, graph buffer and timer. The OS interrupt
// handler at 0x0038 runs as its effects: keys scanned, [ON] latched, auto power-down counted, the
// shadow registers clobbered, the timer acknowledged.
// Faults (a write to flash, code running outside the program and the OS routines, an unknown OS
// call, a port the model does not have, the calculator switching itself off, the time limit) end
// the run with a message.
class Machine {
  public:
    // An OS call: runs in place of the routine, then the program resumes after the call.
    using Bcall = std::function<void(Machine&)>;

    // A machine whose timer interrupts come timerHz times a second of real time (0: never);
    // seed drives the data bus byte an IM 2 interrupt reads and the values the OS handler leaves
    // in the shadow registers.
    explicit Machine(double timerHz = kTimerRates[3], std::uint32_t seed = 1,
                     MachineModel model = MachineModel::Ti83Plus);
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // Places the program's code at kProgramStart behind its header and sets the entry state the
    // OS gives: PC at the code, the return address at kEntryStack, IY = kOsFlags, IM 1,
    // interrupts on. Throws MachineError when the code reaches kStackLimit.
    void loadProgram(std::span<const std::uint8_t> code);
    // Starts the code at entry as the TI-83's Send(9 does, with the entry state of loadProgram;
    // code may run from entry up to entryEnd and from first up to end, besides the RAM the
    // program writes.
    void startProgram(std::uint16_t entry, std::uint16_t entryEnd, std::uint16_t first,
                      std::uint16_t end);
    MachineModel model() const noexcept;
    // Writes bytes to RAM from address on. Throws MachineError outside 0x8000-0xFFFF.
    void writeRam(std::uint16_t address, std::span<const std::uint8_t> bytes);
    // Fills flash page (1 to kFlashPages - 1) with bytes from its start; the rest stays erased
    // (0xFF). Throws MachineError for page 0, a page past the last, or more than a page.
    void loadFlashPage(int page, std::span<const std::uint8_t> bytes);
    // Writes bytes to flash from offset in page on, into the following pages as needed. Throws
    // MachineError for page 0 or bytes past the last page.
    void writeFlash(int page, std::size_t offset, std::span<const std::uint8_t> bytes);
    // The byte at address as the CPU sees it now.
    std::uint8_t readMemory(std::uint16_t address) const;

    // Addresses whose arrival marks the start of a frame's fetch and the end of its LCD copy.
    void setFrameLabels(std::uint16_t frameBegin, std::uint16_t frameShown);
    // As above, with the point where the wait for a frame's deadline ends: a frame's used time
    // starts at the first of frameWaited / frameBegin reached after the previous frameShown.
    void setFrameLabels(std::uint16_t frameBegin, std::uint16_t frameShown,
                        std::uint16_t frameWaited);
    // Presses or releases key at real time at, in T-states at 6 MHz.
    void pressKey(Key key, std::uint64_t at);
    void releaseKey(Key key, std::uint64_t at);
    // Keeps key down for the whole run.
    void holdKey(Key key);
    // Presses key when frame (from 0) begins; it goes up kFramePressLength later.
    void pressKeyAtFrame(Key key, std::size_t frame);
    // Presses [ON] at real time at (T-states at 6 MHz) or as frame begins, for kFramePressLength.
    void pressOn(std::uint64_t at);
    void pressOnAtFrame(std::size_t frame);
    // The shortest real time allowed between two LCD driver accesses, in T-states at 6 MHz
    // (default kDefaultLcdGap).
    void setLcdGap(std::uint64_t tStatesAt6MHz);
    // How long key lines take to settle after their group is selected, in T-states at 6 MHz
    // (default kDefaultKeySettle; 0: at once).
    void setKeySettle(std::uint64_t tStatesAt6MHz);
    // Ticks of auto power-down from the start (and after each key press) until the calculator
    // switches itself off; default 0x74 x 256, as the OS counts it.
    void setPowerDownTicks(std::uint32_t ticks);
    // Answers the OS call at address with call, charging cost T-states; replaces any earlier one.
    // On the TI-83 the call is a call of address itself.
    void setBcall(std::uint16_t address, Bcall call, std::uint64_t cost);
    // Called at each frame_shown, once the frame's timing is known (waited is still 0).
    void onFrameShown(std::function<void(const FrameTiming&)> callback);
    // Called at real times period, 2 period, ... in T-states at 6 MHz (at the first instruction
    // boundary past each), with that time.
    void onTick(std::uint64_t period, std::function<void(std::uint64_t)> callback);

    // Runs until the program returns to the OS, faults, or has run for tStateLimit T-states at
    // 6 MHz of real time.
    RunResult run(std::uint64_t tStateLimit);

    // T-states run so far.
    std::uint64_t tStates() const noexcept;
    // Real time so far, in units of 1 / kRealTimeHz seconds.
    std::uint64_t realTime() const noexcept;
    // The CPU clock now, in T-states a second.
    std::uint64_t clockHz() const noexcept;
    CpuState cpu() const;
    std::uint16_t registerValue(Register r) const;
    void setRegister(Register r, std::uint16_t value);
    const Lcd& lcd() const noexcept;
    Lcd& lcd() noexcept;
    // What the screen shows: 96 x 64 bits, 1 dark.
    TIFunctions::BitString lcdPicture() const;
    // The frames shown so far, in order.
    const std::vector<FrameTiming>& frames() const noexcept;
    // Interrupts the CPU accepted.
    std::size_t interruptsTaken() const noexcept;
    // OS calls answered, in order of the calls.
    const std::vector<std::uint16_t>& bcalls() const noexcept;
    // Compares the state after a run with the state the OS expects back.
    ExitCheck exitCheck() const;

  private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace emulator
