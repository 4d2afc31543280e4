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
// The TI-83's timer, an RC oscillator: periods of about 12,000, 28,000, 44,000 and 62,000
// T-states, selected by bits 1-2 of a write to port 4; they drift with the batteries.
inline constexpr double kTi83TimerRates[4] = {6e6 / 12'000, 6e6 / 28'000, 6e6 / 44'000,
                                              6e6 / 62'000};
// Where a TI-83 program's variables begin in RAM (the OS's user memory).
inline constexpr std::uint16_t kTi83UserMemory = 0x9327;

// The calculator a Machine emulates.
enum class MachineModel {
    Ti83Plus,  // ports 6 and 7 page flash and RAM; OS calls through rst 0x28; port 4 reads
               // the interrupt status, port 3 the mask
    Ti83,      // 32 KB of RAM at 0x8000, code may run anywhere in it; OS calls are plain calls
               // into the ROM; port 3 reads the interrupt status, port 4 reads nothing
};
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

// The timing of one frame the program showed, in T-states since the start.
struct FrameTiming {
    std::size_t frame = 0;     // from 0
    std::uint64_t begin = 0;   // the program reached frame_begin
    std::uint64_t shown = 0;   // it reached frame_shown
    std::uint64_t waited = 0;  // from shown to the next frame_begin or the end of the run
    std::uint64_t used() const noexcept { return shown - begin; }
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
};

// Whether the program left the OS as it found it.
struct ExitCheck {
    bool stack = false;        // SP as at entry, the return address popped
    bool flags = false;        // IY = kOsFlags
    bool mode1 = false;        // interrupt mode 1
    bool interrupts = false;   // interrupts enabled
    bool screenClear = false;  // the display on, showing no dark pixel
    bool all() const noexcept { return stack && flags && mode1 && interrupts && screenClear; }
};

// The registers an OS call may read and change.
enum class Register { AF, BC, DE, HL, IX, IY, SP, PC };

// An emulated 83 Plus running one assembly program: Z80 at 6 MHz, the OS's memory map (flash
// page 0 at 0x0000, bank A at 0x4000 through port 6, bank B at 0x8000 through port 7, RAM page
// 0 at 0xC000), the LCD, the keyboard, the timer interrupt and the OS calls the program makes;
// or, with MachineModel::Ti83, a TI-83 (ROM at 0x0000-0x7FFF, RAM from 0x8000).
// Faults (a write to flash, code running outside the program and the OS routines, an unknown OS
// call, the T-state limit) end the run with a message.
class Machine {
  public:
    // An OS call: runs in place of the routine, then the program resumes after the call.
    using Bcall = std::function<void(Machine&)>;

    // A machine whose timer interrupts come timerHz times a second (0: never); seed drives the
    // data bus byte an IM 2 interrupt reads.
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
    // Presses or releases key at T-state at.
    void pressKey(Key key, std::uint64_t at);
    void releaseKey(Key key, std::uint64_t at);
    // Presses key when frame (from 0) begins; it stays down.
    void pressKeyAtFrame(Key key, std::size_t frame);
    // Answers the OS call at address with call, charging cost T-states; replaces any earlier one.
    // On the TI-83 the call is a call of address itself.
    void setBcall(std::uint16_t address, Bcall call, std::uint64_t cost);
    // Called at each frame_shown, once the frame's timing is known (waited is still 0).
    void onFrameShown(std::function<void(const FrameTiming&)> callback);
    // Called at T-states period, 2 period, ... (at the first instruction boundary past each).
    void onTick(std::uint64_t period, std::function<void(std::uint64_t)> callback);

    // Runs until the program returns to the OS, faults, or has run tStateLimit T-states.
    RunResult run(std::uint64_t tStateLimit);

    // T-states run so far.
    std::uint64_t tStates() const noexcept;
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
