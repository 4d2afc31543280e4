#include "machine.hpp"

#include <z80ex/z80ex.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <random>

namespace emulator {

namespace {

constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();
constexpr std::size_t kRamPages = 2;
// Port 3 and 4 bits: the [ON] interrupt, the two timers' enable and status bits; status bit 3
// set means [ON] is up.
constexpr std::uint8_t kOnBit = 0x01;
constexpr std::uint8_t kTimerBits = 0x06;
constexpr std::uint8_t kTimerOne = 0x02;
constexpr std::uint8_t kOnKeyUp = 0x08;
// Port 3 as the OS leaves it: ON key, timer 1 and low-power interrupts enabled.
constexpr std::uint8_t kOsInterruptMask = 0x0B;
// Port 6 and 7 values with either of these bits set map a RAM page.
constexpr std::uint8_t kRamPageBits = 0xC0;
// Port 2: bit 7 set where port 0x20 sets the CPU speed; bit 0 set: the batteries are good.
constexpr std::uint8_t kPort2Plus = 0x01;
constexpr std::uint8_t kPort2Fast = 0x81;
// Port 1 groups, and the one the OS handler's scan leaves selected (no reset after it).
constexpr std::size_t kKeyGroups = 7;
constexpr std::uint8_t kHandlerKeyGroup = 0xBF;
// The OS's screen state: text cursor and the text shadow of 8 rows of 16 characters.
constexpr std::uint16_t kCurRow = 0x844B;
constexpr std::uint16_t kCurCol = 0x844C;
constexpr std::uint16_t kTextShadow = 0x8508;
constexpr std::size_t kTextShadowSize = 128;
constexpr std::uint16_t kPlotSScreen = 0x9340;
constexpr std::size_t kScreenBufferSize = 768;
constexpr std::uint32_t kFullPowerDown = std::uint32_t{kApdReload} * 256;

// The OS routines the emulated flash page 0 holds as real code, and their addresses.
struct Routine {
    std::uint16_t address;
    std::vector<std::uint8_t> code;
};

// The TI-83's: its interrupt handler runs as C++ (the byte only makes the address hold code).
const std::vector<Routine>& ti83Routines() {
    static const std::vector<Routine> routines = {
        {kInterruptHandler, {0xC9}}, {kOsReturn, {0x76}},  // halt
    };
    return routines;
}

const std::vector<Routine>& osRoutines() {
    static const std::vector<Routine> routines = {
        // Waits long enough that the caller's next LCD access keeps the driver's gap.
        {kLcdDelayRoutine,
         {0xF5,        // push af
          0x3E, 0x02,  // ld a,2
          0x3D,        // dec a
          0x20, 0xFD,  // jr nz,-3
          0xF1,        // pop af
          0xC9}},      // ret
        // Answered in C++ before they run; the byte only makes the address hold code.
        {kBcallEntry, {0xC9}},
        {kInterruptHandler, {0xC9}},
        // Reached when the program returns; the run ends before it executes.
        {kOsReturn, {0x76}},  // halt
    };
    return routines;
}

std::string hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value & 0xFFFFU);
    return text;
}

std::string hex2(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFFU);
    return text;
}

Z80_REG_T z80Register(Register r) {
    // In the order of Register.
    static constexpr Z80_REG_T kRegisters[] = {regAF, regBC, regDE, regHL,
                                               regIX, regIY, regSP, regPC};
    return kRegisters[static_cast<std::size_t>(r)];
}

}  // namespace

// The keypad behind port 1: seven groups of eight key lines (0 down), read through the groups
// selected, and [ON] beside them. Times are real time.
class Keypad {
  public:
    // Key lines read as up until this long after their group was selected.
    void setSettle(std::uint64_t settle) noexcept { m_settle = settle; }

    // A write of mask to port 1 at: 0xFF deselects every group, any other mask adds the groups
    // whose bits are 0 to those selected.
    void select(std::uint8_t mask, std::uint64_t at) noexcept {
        if (mask == 0xFF) {
            m_selected = 0xFF;
            return;
        }
        for (std::size_t group = 0; group < kKeyGroups; ++group) {
            const auto bit = static_cast<std::uint8_t>(1U << group);
            if (!(mask & bit) && (m_selected & bit)) m_selectedAt[group] = at;
        }
        m_selected &= mask;
    }

    // A read of port 1 at: the AND of the settled selected groups' lines.
    std::uint8_t read(std::uint64_t at) const noexcept {
        std::uint8_t value = 0xFF;
        for (std::size_t group = 0; group < kKeyGroups; ++group) {
            if (!(m_selected & (1U << group)) && at - m_selectedAt[group] >= m_settle)
                value &= m_lines[group];
        }
        return value;
    }

    void set(Key key, bool down) noexcept {
        auto& lines = m_lines[static_cast<std::size_t>(key.group)];
        const auto bit = static_cast<std::uint8_t>(1U << key.bit);
        lines =
            down ? static_cast<std::uint8_t>(lines & ~bit) : static_cast<std::uint8_t>(lines | bit);
    }
    bool down(Key key) const noexcept {
        return !(m_lines[static_cast<std::size_t>(key.group)] & 1U << key.bit);
    }
    // Whether a key of port 1 is down.
    bool anyDown() const noexcept {
        return std::any_of(m_lines.begin(), m_lines.begin() + kKeyGroups,
                           [](std::uint8_t lines) { return lines != 0xFF; });
    }

    // Scans the keys as the OS handler does at at: the scan code of a key that went down since
    // the previous scan (0: none); group 6 is left selected.
    int scan(std::uint64_t at) noexcept {
        int newKey = 0;
        for (std::size_t group = 0; group < kKeyGroups; ++group) {
            const auto fresh = static_cast<std::uint8_t>(~m_lines[group] & m_scanned[group]);
            for (int bit = 0; bit < 8 && newKey == 0; ++bit) {
                if (fresh & (1U << bit)) newKey = scanCode({static_cast<int>(group), bit});
            }
            m_scanned[group] = m_lines[group];
        }
        select(0xFF, at);
        select(kHandlerKeyGroup, at);
        return newKey;
    }

  private:
    std::uint8_t m_selected = 0xFF;
    // Lines of groups 0-6; index 7 bit 0 is [ON].
    std::array<std::uint8_t, kKeyGroups + 1> m_lines{0xFF, 0xFF, 0xFF, 0xFF,
                                                     0xFF, 0xFF, 0xFF, 0xFF};
    std::array<std::uint64_t, kKeyGroups> m_selectedAt{};
    std::array<std::uint8_t, kKeyGroups> m_scanned{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    std::uint64_t m_settle = kDefaultKeySettle * kRealPerSlowTState;
};

struct Machine::State {
    // Where a 16 KB bank of the address space reads from.
    struct Bank {
        std::uint8_t* bytes = nullptr;
        bool flash = true;
        std::size_t ramOffset = 0;  // offset into ram when !flash
    };
    struct KeyEvent {
        std::uint64_t at;  // real time
        Key key;
        bool down;
    };

    Machine* owner = nullptr;
    MachineModel model = MachineModel::Ti83Plus;
    Z80EX_CONTEXT* cpu = nullptr;
    std::vector<std::uint8_t> flash = std::vector<std::uint8_t>(kFlashPages * kPageSize, 0xFF);
    std::vector<std::uint8_t> ram = std::vector<std::uint8_t>(kRamPages * kPageSize, 0);
    // RAM bytes the CPU wrote during the run (code it made itself may run there).
    std::vector<bool> cpuWritten = std::vector<bool>(kRamPages * kPageSize, false);
    std::vector<bool> romCode = std::vector<bool>(kPageSize, false);
    std::array<Bank, 4> banks{};
    std::uint8_t port6 = 0x1F;
    std::uint8_t port7 = 0x81;
    std::size_t programFirst = 0;  // the program's code, as offsets into ram
    std::size_t programEnd = 0;
    std::size_t extraFirst = 0;  // TI-83: more code, as offsets into ram
    std::size_t extraEnd = 0;

    Lcd lcd{kDefaultLcdGap * kRealPerSlowTState};
    std::uint64_t now = 0;   // T-states
    std::uint64_t real = 0;  // real time
    std::uint64_t stepStart = 0;
    std::uint64_t realStepStart = 0;
    std::uint64_t perTState = kRealPerSlowTState;  // real time a T-state takes at this speed
    std::uint64_t stepPerTState = kRealPerSlowTState;
    std::uint8_t speedPort = 0;
    std::string fault;

    double timerHz = 0;
    std::uint64_t tickBase = 0;  // real time the current rate started at
    std::uint64_t tickIndex = 0;
    std::uint64_t nextTick = kNever;
    std::uint64_t eventAt = 0;  // the run loop looks at the events from this real time on
    std::uint8_t interruptMask = kOsInterruptMask;
    std::uint8_t interruptStatus = 0;
    std::size_t interrupts = 0;
    std::mt19937 random;

    Keypad keypad;
    std::vector<KeyEvent> keyEvents;  // sorted by time, the next one first
    std::size_t nextKeyEvent = 0;
    std::multimap<std::size_t, Key> framePresses;
    std::size_t pressedFrames = 0;  // frames whose presses were made

    std::uint32_t powerDownTicks = kFullPowerDown;
    bool graphChanged = false;
    bool started = false;
    std::uint8_t apdAtEntry = 0;
    std::uint8_t indicatorAtEntry = 0;
    std::uint8_t speedAtEntry = 0;

    bool haveLabels = false;
    bool haveWaitedLabel = false;
    std::uint16_t frameBegin = 0;
    std::uint16_t frameShown = 0;
    std::uint16_t frameWaited = 0;
    bool usedStarted = false;  // the current frame's used time runs
    std::uint64_t usedFrom = 0;
    std::uint64_t realUsedFrom = 0;
    std::vector<FrameTiming> frames;
    std::function<void(const FrameTiming&)> frameCallback;

    std::uint64_t tickPeriod = 0;  // real time
    std::uint64_t nextSample = kNever;
    std::function<void(std::uint64_t)> tickCallback;

    struct BcallEntry {
        Bcall call;
        std::uint64_t cost;
    };
    std::map<std::uint16_t, BcallEntry> bcallTable;
    std::vector<std::uint16_t> bcallsMade;
    std::uint16_t entrySp = kEntryStack;

    bool plusFamily() const {
        return model == MachineModel::Ti83Plus || model == MachineModel::Ti84Plus;
    }
    std::uint16_t osFlagsAddress() const { return osAddresses(model).flags; }

    void setFault(std::string message) {
        if (fault.empty()) fault = std::move(message);
    }

    std::string pcText() const { return " (PC " + hex4(z80ex_get_reg(cpu, regPC)) + ")"; }

    // Charges T-states at the current clock.
    void advance(std::uint64_t tStates) {
        now += tStates;
        real += tStates * perTState;
    }

    // The real time of the port access the current instruction makes.
    std::uint64_t accessTime() const {
        return realStepStart + static_cast<std::uint64_t>(z80ex_op_tstate(cpu)) * stepPerTState;
    }

    Bank bankFor(std::uint8_t port) {
        Bank bank;
        if (port & kRamPageBits) {
            bank.flash = false;
            bank.ramOffset = (port & (kRamPages - 1)) * kPageSize;
            bank.bytes = ram.data() + bank.ramOffset;
        } else {
            bank.bytes = flash.data() + (port % kFlashPages) * kPageSize;
        }
        return bank;
    }

    void mapBanks() {
        banks[0] = Bank{flash.data(), true, 0};
        if (!plusFamily()) {
            // ROM, then RAM in one piece from 0x8000.
            banks[1] = Bank{flash.data() + kPageSize, true, 0};
            banks[2] = Bank{ram.data(), false, 0};
            banks[3] = Bank{ram.data() + kPageSize, false, kPageSize};
            return;
        }
        banks[1] = bankFor(port6);
        banks[2] = bankFor(port7);
        banks[3] = Bank{ram.data(), false, 0};
    }

    std::uint8_t read(std::uint16_t address) const {
        return banks[address >> 14].bytes[address & (kPageSize - 1)];
    }

    void write(std::uint16_t address, std::uint8_t value) {
        const Bank& bank = banks[address >> 14];
        if (bank.flash) {
            setFault("write of " + std::to_string(value) + " to flash at " + hex4(address) +
                     pcText());
            return;
        }
        const std::size_t offset = address & (kPageSize - 1);
        bank.bytes[offset] = value;
        cpuWritten[bank.ramOffset + offset] = true;
        if (static_cast<std::uint16_t>(address - osAddresses(model).plotSScreen) <
            kScreenBufferSize)
            graphChanged = true;
    }

    // The OS's own write to RAM where the address is mapped now.
    void osWrite(std::uint16_t address, std::uint8_t value) {
        const Bank& bank = banks[address >> 14];
        if (!bank.flash) bank.bytes[address & (kPageSize - 1)] = value;
    }

    std::uint8_t osFlags(std::uint8_t offset) const {
        return read(static_cast<std::uint16_t>(osFlagsAddress() + offset));
    }
    void setOsFlag(std::uint8_t offset, int bit) {
        osWrite(static_cast<std::uint16_t>(osFlagsAddress() + offset),
                static_cast<std::uint8_t>(osFlags(offset) | 1U << bit));
    }

    // Whether an instruction may start at address: an OS routine, the program's code, or RAM
    // the program wrote itself; never at 0xC000 or above, which the 83 Plus refuses to run.
    bool executable(std::uint16_t address) const {
        const Bank& bank = banks[address >> 14];
        if (address < kPageSize) return romCode[address];
        if (address < 0x8000 || bank.flash) return false;
        if (address >= 0xC000 && plusFamily()) return false;
        const std::size_t offset = bank.ramOffset + (address & (kPageSize - 1));
        return (offset >= programFirst && offset < programEnd) ||
               (offset >= extraFirst && offset < extraEnd) || cpuWritten[offset];
    }

    // The offset into ram of a RAM address.
    std::size_t ramOffset(std::uint16_t address) const {
        return banks[address >> 14].ramOffset + (address & (kPageSize - 1));
    }

    // The entry state the OS gives a program it starts.
    void enterProgram(std::uint16_t pc) {
        const std::uint8_t back[] = {kOsReturn & 0xFF, kOsReturn >> 8};
        owner->writeRam(kEntryStack, back);
        entrySp = kEntryStack;
        z80ex_reset(cpu);
        z80ex_set_reg(cpu, regPC, pc);
        z80ex_set_reg(cpu, regSP, kEntryStack);
        z80ex_set_reg(cpu, regIY, osFlagsAddress());
        z80ex_set_reg(cpu, regIM, 1);
        z80ex_set_reg(cpu, regIFF1, 1);
        z80ex_set_reg(cpu, regIFF2, 1);
        // The OS runs programs with auto power-down counting and its run indicator on; an OS
        // may leave the 84 Plus at 15 MHz.
        setOsFlag(kApdFlags, kApdAble);
        setOsFlag(kApdFlags, kApdRunning);
        setOsFlag(kIndicFlags, kIndicRun);
        setSpeed(model == MachineModel::Ti84Plus ? 1 : 0);
    }

    void setSpeed(std::uint8_t value) {
        speedPort = value;
        perTState = (value & 3) != 0 ? kRealPerFastTState : kRealPerSlowTState;
    }

    // Notes the state the exit check compares with, as the program starts.
    void startRun() {
        if (started) return;
        started = true;
        apdAtEntry = osFlags(kApdFlags) & (1U << kApdAble | 1U << kApdRunning);
        indicatorAtEntry = osFlags(kIndicFlags) & 1U << kIndicRun;
        speedAtEntry = speedPort;
        reloadPowerDown();
    }

    // Sets the auto power-down count to powerDownTicks ticks, as a key press does.
    void reloadPowerDown() {
        const OsAddresses& os = osAddresses(model);
        const std::uint32_t timer = (powerDownTicks - 1) / 256 + 1;
        osWrite(os.apdTimer, static_cast<std::uint8_t>(timer));
        osWrite(os.apdSubTimer, static_cast<std::uint8_t>(powerDownTicks - (timer - 1) * 256));
    }

    bool onUp() const { return !keypad.down(kKeyOn); }

    std::uint8_t portRead(std::uint8_t port) {
        switch (port) {
            case 0x01:
                return keypad.read(accessTime());
            case 0x02:
            case 0x20:
                if (!plusFamily()) {
                    setFault("read of port " + hex2(port) +
                             ", which a TI-83 or TI-82 program has no use for" + pcText());
                    return 0xFF;
                }
                if (port == 0x20) return model == MachineModel::Ti84Plus ? speedPort : 0xFF;
                return model == MachineModel::Ti84Plus ? kPort2Fast : kPort2Plus;
            case 0x03:
                if (!plusFamily())
                    return static_cast<std::uint8_t>(interruptStatus | (onUp() ? kOnKeyUp : 0));
                return interruptMask;
            case 0x04:
                if (!plusFamily()) {
                    setFault("read of port 4, which the TI-83 and TI-82 do not define" + pcText());
                    return 0xFF;
                }
                return static_cast<std::uint8_t>(interruptStatus | (onUp() ? kOnKeyUp : 0));
            case 0x06:
                return port6;
            case 0x07:
                return port7;
            case 0x10:
                return lcd.readStatus(accessTime());
            case 0x11:
                return lcd.readData(accessTime());
            default:
                return 0xFF;
        }
    }

    void portWrite(std::uint8_t port, std::uint8_t value) {
        switch (port) {
            case 0x01:
                keypad.select(value, accessTime());
                break;
            case 0x02:
                if (!plusFamily()) {
                    setFault("write to port 0x02, which a TI-83 or TI-82 program has no use for" +
                             pcText());
                }
                break;
            case 0x03:
                interruptMask = value;
                // A timer whose bit is cleared is acknowledged.
                interruptStatus &= value;
                break;
            case 0x04:
                setTimerRate(timerRates(model)[(value >> 1) & 3], accessTime());
                break;
            case 0x06:
            case 0x07:
                if (!plusFamily()) {
                    setFault("write to port " + std::to_string(port) +
                             ", which pages memory on the 83 Plus only" + pcText());
                    break;
                }
                (port == 0x06 ? port6 : port7) = value;
                mapBanks();
                break;
            case 0x10:
                lcd.writeCommand(value, accessTime());
                break;
            case 0x11:
                lcd.writeData(value, accessTime());
                break;
            case 0x20:
                if (model != MachineModel::Ti84Plus) {
                    setFault("write of " + hex2(value) +
                             " to port 0x20, which sets the CPU speed on the TI-83 Plus SE and "
                             "TI-84 Plus only (port 2 bit 7 tells)" +
                             pcText());
                    break;
                }
                setSpeed(value);
                break;
            default:
                break;
        }
    }

    void setTimerRate(double hz, std::uint64_t from) {
        timerHz = hz;
        tickBase = from;
        tickIndex = 0;
        scheduleTick();
        eventAt = std::min(eventAt, nextTick);
    }

    void scheduleTick() {
        if (timerHz <= 0) {
            nextTick = kNever;
            return;
        }
        nextTick = tickBase + static_cast<std::uint64_t>(
                                  std::llround(static_cast<double>(tickIndex + 1) *
                                               static_cast<double>(kRealTimeHz) / timerHz));
    }

    void applyKey(Key key, bool down) {
        if (key.group == kKeyOn.group && down && onUp() && (interruptMask & kOnBit))
            interruptStatus |= kOnBit;
        keypad.set(key, down);
    }

    void addKeyEvent(Key key, std::uint64_t at, bool down) {
        keyEvents.push_back({at, key, down});
        std::stable_sort(keyEvents.begin() + static_cast<std::ptrdiff_t>(nextKeyEvent),
                         keyEvents.end(), [](const auto& a, const auto& b) { return a.at < b.at; });
        eventAt = std::min(eventAt, at);
    }

    std::uint64_t nextEvent() const {
        std::uint64_t next = std::min(nextTick, nextSample);
        if (nextKeyEvent < keyEvents.size()) next = std::min(next, keyEvents[nextKeyEvent].at);
        return next;
    }

    void handleEvents() {
        while (real >= nextTick) {
            if (interruptMask & kTimerOne) interruptStatus |= kTimerOne;
            ++tickIndex;
            scheduleTick();
        }
        while (nextKeyEvent < keyEvents.size() && keyEvents[nextKeyEvent].at <= real) {
            applyKey(keyEvents[nextKeyEvent].key, keyEvents[nextKeyEvent].down);
            ++nextKeyEvent;
        }
        while (real >= nextSample) {
            const std::uint64_t at = nextSample;
            nextSample += tickPeriod;
            tickCallback(at / kRealPerSlowTState);
        }
    }

    // The OS interrupt handler's effects, as it runs at 0x0038 with IY = kOsFlags: the keypad
    // scanned (a new key's scan code left in kbdScanCode, group 0xBF left selected), [ON]
    // latched, auto power-down counted on a timer tick, the shadow registers clobbered, the
    // interrupts acknowledged, then ei and ret.
    void osInterrupt() {
        const OsAddresses& os = osAddresses(model);
        const bool anyDown = keypad.anyDown();
        const int newKey = keypad.scan(real);
        if (newKey != 0) {
            osWrite(os.kbdScanCode, static_cast<std::uint8_t>(newKey));
            setOsFlag(kKbdFlags, kKbdScr);
            reloadPowerDown();
        }
        if (interruptStatus & kOnBit) setOsFlag(kOnFlags, kOnInterrupt);
        const std::uint8_t apdBits = 1U << kApdAble | 1U << kApdRunning;
        if ((interruptStatus & kTimerBits) && (osFlags(kApdFlags) & apdBits) == apdBits) {
            const auto sub = static_cast<std::uint8_t>(read(os.apdSubTimer) - 1);
            osWrite(os.apdSubTimer, sub);
            if (sub == 0) {
                const auto timer = static_cast<std::uint8_t>(read(os.apdTimer) - 1);
                osWrite(os.apdTimer, timer);
                if (timer == 0) setFault("the calculator switched itself off");
            }
        }
        for (Z80_REG_T r : {regAF_, regBC_, regDE_, regHL_})
            z80ex_set_reg(cpu, r, static_cast<std::uint16_t>(random()));
        interruptStatus &= static_cast<std::uint8_t>(~(kTimerBits | kOnBit));
        advance(anyDown ? kHandlerKeyCost : kHandlerIdleCost);
        const std::uint16_t sp = reg(regSP);
        z80ex_set_reg(
            cpu, regPC,
            static_cast<std::uint16_t>(read(sp) | read(static_cast<std::uint16_t>(sp + 1)) << 8));
        z80ex_set_reg(cpu, regSP, static_cast<std::uint16_t>(sp + 2));
        z80ex_set_reg(cpu, regIFF1, 1);
        z80ex_set_reg(cpu, regIFF2, 1);
    }

    // A frame's used time starts here unless it already has.
    void startUsed() {
        if (usedStarted) return;
        usedStarted = true;
        usedFrom = now;
        realUsedFrom = real;
        if (!frames.empty()) {
            frames.back().waited = now - frames.back().shown;
            frames.back().realWaited = real - frames.back().realShown;
        }
    }

    void reachFrameWaited() {
        if (!frames.empty()) startUsed();  // frame 0 starts at frame_begin
    }

    void reachFrameBegin() {
        startUsed();
        if (pressedFrames > frames.size()) return;
        pressedFrames = frames.size() + 1;
        const auto [first, last] = framePresses.equal_range(frames.size());
        for (auto it = first; it != last; ++it) {
            applyKey(it->second, true);
            addKeyEvent(it->second, real + kFramePressLength * kRealPerSlowTState, false);
        }
    }

    void reachFrameShown() {
        FrameTiming timing;
        timing.frame = frames.size();
        if (usedStarted) {
            timing.begin = usedFrom;
            timing.realBegin = realUsedFrom;
        } else if (!frames.empty()) {
            timing.begin = frames.back().shown;
            timing.realBegin = frames.back().realShown;
        }
        timing.shown = now;
        timing.realShown = real;
        usedStarted = false;
        frames.push_back(timing);
        if (frameCallback) frameCallback(frames.back());
    }

    void endFrames() {
        if (!frames.empty() && !usedStarted && frames.back().waited == 0) {
            frames.back().waited = now - frames.back().shown;
            frames.back().realWaited = real - frames.back().realShown;
        }
    }

    std::uint16_t reg(Z80_REG_T r) const { return z80ex_get_reg(cpu, r); }

    void bcall() {
        const std::uint16_t sp = reg(regSP);
        const auto back =
            static_cast<std::uint16_t>(read(sp) | read(static_cast<std::uint16_t>(sp + 1)) << 8);
        const auto address = static_cast<std::uint16_t>(
            read(back) | read(static_cast<std::uint16_t>(back + 1)) << 8);
        const auto entry = bcallTable.find(address);
        if (entry == bcallTable.end()) {
            setFault("unknown OS call " + hex4(address) + " at " +
                     hex4(static_cast<unsigned>(back - 1)));
            return;
        }
        bcallsMade.push_back(address);
        z80ex_set_reg(cpu, regSP, static_cast<std::uint16_t>(sp + 2));
        z80ex_set_reg(cpu, regPC, static_cast<std::uint16_t>(back + 2));
        entry->second.call(*owner);
        advance(entry->second.cost);
    }

    // A TI-83 OS call: the program called address; answered, it returns to the caller.
    void directCall(std::uint16_t address) {
        const auto entry = bcallTable.find(address);
        const std::uint16_t sp = reg(regSP);
        bcallsMade.push_back(address);
        z80ex_set_reg(
            cpu, regPC,
            static_cast<std::uint16_t>(read(sp) | read(static_cast<std::uint16_t>(sp + 1)) << 8));
        z80ex_set_reg(cpu, regSP, static_cast<std::uint16_t>(sp + 2));
        entry->second.call(*owner);
        advance(entry->second.cost);
    }

    // The callbacks of the Z80 emulation; user is the State.
    static Z80EX_BYTE memoryRead(Z80EX_CONTEXT*, Z80EX_WORD address, int, void* user) {
        return static_cast<State*>(user)->read(address);
    }
    static void memoryWrite(Z80EX_CONTEXT*, Z80EX_WORD address, Z80EX_BYTE value, void* user) {
        static_cast<State*>(user)->write(address, value);
    }
    static Z80EX_BYTE portReadCallback(Z80EX_CONTEXT*, Z80EX_WORD port, void* user) {
        return static_cast<State*>(user)->portRead(static_cast<std::uint8_t>(port));
    }
    static void portWriteCallback(Z80EX_CONTEXT*, Z80EX_WORD port, Z80EX_BYTE value, void* user) {
        static_cast<State*>(user)->portWrite(static_cast<std::uint8_t>(port), value);
    }
    // The 83 Plus leaves the data bus floating during an interrupt acknowledge.
    static Z80EX_BYTE busRead(Z80EX_CONTEXT*, void* user) {
        return static_cast<std::uint8_t>(static_cast<State*>(user)->random() & 0xFF);
    }
};

Machine::Machine(double timerHz, std::uint32_t seed, MachineModel model)
    : m_state(std::make_unique<State>()) {
    State& s = *m_state;
    s.owner = this;
    s.model = model;
    s.random.seed(seed);
    s.cpu = z80ex_create(State::memoryRead, &s, State::memoryWrite, &s, State::portReadCallback, &s,
                         State::portWriteCallback, &s, State::busRead, &s);
    if (s.cpu == nullptr) throw MachineError("the Z80 emulation could not be created");
    for (const Routine& routine : s.plusFamily() ? osRoutines() : ti83Routines()) {
        for (std::size_t i = 0; i < routine.code.size(); ++i) {
            s.flash[routine.address + i] = routine.code[i];
            s.romCode[routine.address + i] = true;
        }
    }
    s.mapBanks();
    s.setTimerRate(timerHz, 0);
    if (!s.plusFamily()) return;

    const auto clearLcd = [](Machine& machine) { machine.lcd().clear(); };
    setBcall(kClrLcdFull, clearLcd, 60'000);
    setBcall(
        kGrBufClr,
        [](Machine& machine) {
            machine.writeRam(kPlotSScreen, std::vector<std::uint8_t>(kScreenBufferSize, 0));
            machine.m_state->graphChanged = true;
        },
        16'200);
    setBcall(
        kClrScrnFull,
        [](Machine& machine) {
            machine.lcd().clear();
            machine.writeRam(kTextShadow,
                             std::vector<std::uint8_t>(kTextShadowSize, std::uint8_t{' '}));
            machine.writeRam(kCurRow, std::vector<std::uint8_t>{0, 0});
        },
        63'000);
    setBcall(
        kHomeUp,
        [](Machine& machine) {
            machine.writeRam(kCurRow, std::vector<std::uint8_t>{0, 0});
        },
        100);
    static_assert(kCurCol == kCurRow + 1);
}

Machine::~Machine() {
    z80ex_destroy(m_state->cpu);
}

void Machine::loadProgram(std::span<const std::uint8_t> code) {
    State& s = *m_state;
    if (code.size() > static_cast<std::size_t>(kStackLimit - kProgramStart)) {
        throw MachineError("the program of " + std::to_string(code.size()) +
                           " bytes does not fit below the stack");
    }
    const std::uint8_t header[] = {0xBB, 0x6D};
    writeRam(kProgramHeader, header);
    writeRam(kProgramStart, code);
    s.programFirst = s.banks[2].ramOffset + (kProgramStart & (kPageSize - 1));
    s.programEnd = s.programFirst + code.size();
    s.enterProgram(kProgramStart);
}

void Machine::startProgram(std::uint16_t entry, std::uint16_t entryEnd, std::uint16_t first,
                           std::uint16_t end) {
    State& s = *m_state;
    s.programFirst = s.ramOffset(entry);
    s.programEnd = s.programFirst + static_cast<std::uint16_t>(entryEnd - entry);
    s.extraFirst = s.ramOffset(first);
    s.extraEnd = s.extraFirst + static_cast<std::uint16_t>(end - first);
    s.enterProgram(entry);
}

MachineModel Machine::model() const noexcept {
    return m_state->model;
}

void Machine::writeRam(std::uint16_t address, std::span<const std::uint8_t> bytes) {
    State& s = *m_state;
    if (address < 0x8000 || bytes.size() > 0x10000U - address) {
        throw MachineError(std::to_string(bytes.size()) + " bytes at " + hex4(address) +
                           " do not lie in RAM (0x8000-0xFFFF)");
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto at = static_cast<std::uint16_t>(address + i);
        s.banks[at >> 14].bytes[at & (kPageSize - 1)] = bytes[i];
    }
}

void Machine::loadFlashPage(int page, std::span<const std::uint8_t> bytes) {
    if (page < 1 || page >= kFlashPages) {
        throw MachineError("flash page " + std::to_string(page) + " is not one of 1 to " +
                           std::to_string(kFlashPages - 1));
    }
    if (bytes.size() > kPageSize) {
        throw MachineError(std::to_string(bytes.size()) + " bytes do not fit a flash page");
    }
    auto& flash = m_state->flash;
    const auto first = flash.begin() + static_cast<std::ptrdiff_t>(page * kPageSize);
    std::fill(first, first + static_cast<std::ptrdiff_t>(kPageSize), std::uint8_t{0xFF});
    std::copy(bytes.begin(), bytes.end(), first);
}

void Machine::writeFlash(int page, std::size_t offset, std::span<const std::uint8_t> bytes) {
    const std::size_t first = static_cast<std::size_t>(page) * kPageSize + offset;
    if (page < 1 || first + bytes.size() > kFlashPages * kPageSize) {
        throw MachineError(std::to_string(bytes.size()) + " bytes at flash page " +
                           std::to_string(page) + " offset " + std::to_string(offset) +
                           " do not lie in pages 1 to " + std::to_string(kFlashPages - 1));
    }
    std::copy(bytes.begin(), bytes.end(),
              m_state->flash.begin() + static_cast<std::ptrdiff_t>(first));
}

std::uint8_t Machine::readMemory(std::uint16_t address) const {
    return m_state->read(address);
}

void Machine::setFrameLabels(std::uint16_t frameBegin, std::uint16_t frameShown) {
    m_state->haveLabels = true;
    m_state->frameBegin = frameBegin;
    m_state->frameShown = frameShown;
}

void Machine::setFrameLabels(std::uint16_t frameBegin, std::uint16_t frameShown,
                             std::uint16_t frameWaited) {
    setFrameLabels(frameBegin, frameShown);
    m_state->haveWaitedLabel = true;
    m_state->frameWaited = frameWaited;
}

void Machine::pressKey(Key key, std::uint64_t at) {
    m_state->addKeyEvent(key, at * kRealPerSlowTState, true);
}

void Machine::releaseKey(Key key, std::uint64_t at) {
    m_state->addKeyEvent(key, at * kRealPerSlowTState, false);
}

void Machine::holdKey(Key key) {
    m_state->addKeyEvent(key, 0, true);
}

void Machine::pressKeyAtFrame(Key key, std::size_t frame) {
    m_state->framePresses.emplace(frame, key);
}

void Machine::pressOn(std::uint64_t at) {
    pressKey(kKeyOn, at);
    releaseKey(kKeyOn, at + kFramePressLength);
}

void Machine::pressOnAtFrame(std::size_t frame) {
    pressKeyAtFrame(kKeyOn, frame);
}

void Machine::setLcdGap(std::uint64_t tStatesAt6MHz) {
    m_state->lcd.setAccessGap(tStatesAt6MHz * kRealPerSlowTState);
}

void Machine::setKeySettle(std::uint64_t tStatesAt6MHz) {
    m_state->keypad.setSettle(tStatesAt6MHz * kRealPerSlowTState);
}

void Machine::setPowerDownTicks(std::uint32_t ticks) {
    m_state->powerDownTicks = std::clamp<std::uint32_t>(ticks, 1, 255 * 256);
}

void Machine::setBcall(std::uint16_t address, Bcall call, std::uint64_t cost) {
    m_state->bcallTable[address] = {std::move(call), cost};
}

void Machine::onFrameShown(std::function<void(const FrameTiming&)> callback) {
    m_state->frameCallback = std::move(callback);
}

void Machine::onTick(std::uint64_t period, std::function<void(std::uint64_t)> callback) {
    State& s = *m_state;
    s.tickPeriod = period * kRealPerSlowTState;
    s.tickCallback = std::move(callback);
    s.nextSample =
        period == 0 || !s.tickCallback ? kNever : (s.real / s.tickPeriod + 1) * s.tickPeriod;
}

RunResult Machine::run(std::uint64_t tStateLimit) {
    State& s = *m_state;
    RunResult result;
    s.startRun();
    const std::uint64_t limit =
        tStateLimit > kNever / kRealPerSlowTState ? kNever : tStateLimit * kRealPerSlowTState;
    s.eventAt = s.nextEvent();
    while (s.fault.empty()) {
        if (s.real >= limit) {
            s.setFault("the T-state limit of " + std::to_string(tStateLimit) +
                       " (real time at 6 MHz) was reached");
            break;
        }
        if (s.real >= s.eventAt) {
            s.handleEvents();
            s.eventAt = s.nextEvent();
        }
        if (z80ex_last_op_type(s.cpu) == 0) {
            if ((s.interruptStatus & s.interruptMask & (kTimerBits | kOnBit)) != 0) {
                const int taken = z80ex_int(s.cpu);
                if (taken > 0) {
                    ++s.interrupts;
                    s.advance(static_cast<std::uint64_t>(taken));
                    continue;
                }
            }
            const std::uint16_t pc = s.reg(regPC);
            if (pc == kOsReturn) {
                result.returned = true;
                break;
            }
            if (s.plusFamily() && pc == kBcallEntry) {
                s.bcall();
                continue;
            }
            if (!s.plusFamily() && pc >= 0x4000 && pc < 0x8000) {
                if (!s.bcallTable.contains(pc)) {
                    s.setFault("unknown OS call " + hex4(pc));
                    break;
                }
                s.directCall(pc);
                continue;
            }
            if (pc == kInterruptHandler) {
                if (s.reg(regIY) != s.osFlagsAddress()) {
                    s.setFault("the OS interrupt handler ran with IY = " + hex4(s.reg(regIY)) +
                               " instead of " + hex4(s.osFlagsAddress()));
                    break;
                }
                s.osInterrupt();
                continue;
            }
            if (!s.executable(pc)) {
                s.setFault("code ran at " + hex4(pc) + ", outside the program and the OS routines");
                break;
            }
            if (z80ex_doing_halt(s.cpu) && !s.reg(regIFF1)) {
                // The CPU stays on the halt until an interrupt comes.
                s.setFault("halt at " + hex4(pc) + " with interrupts disabled");
                break;
            }
            if (s.haveLabels && !z80ex_doing_halt(s.cpu)) {
                if (s.haveWaitedLabel && pc == s.frameWaited) s.reachFrameWaited();
                if (pc == s.frameBegin) s.reachFrameBegin();
                if (pc == s.frameShown) s.reachFrameShown();
            }
        }
        s.stepStart = s.now;
        s.realStepStart = s.real;
        s.stepPerTState = s.perTState;
        const auto t = static_cast<std::uint64_t>(z80ex_step(s.cpu));
        s.now += t;
        s.real += t * s.stepPerTState;
    }
    s.endFrames();
    result.fault = s.fault;
    result.tStates = s.now;
    result.realTime = s.real;
    return result;
}

std::uint64_t Machine::tStates() const noexcept {
    return m_state->now;
}

std::uint64_t Machine::realTime() const noexcept {
    return m_state->real;
}

std::uint64_t Machine::clockHz() const noexcept {
    return m_state->perTState == kRealPerFastTState ? kFastClockHz : kClockHz;
}

CpuState Machine::cpu() const {
    const State& s = *m_state;
    return {s.reg(regPC), s.reg(regSP), s.reg(regIY), static_cast<int>(s.reg(regIM)),
            s.reg(regIFF1) != 0};
}

std::uint16_t Machine::registerValue(Register r) const {
    return m_state->reg(z80Register(r));
}

void Machine::setRegister(Register r, std::uint16_t value) {
    z80ex_set_reg(m_state->cpu, z80Register(r), value);
}

const Lcd& Machine::lcd() const noexcept {
    return m_state->lcd;
}
Lcd& Machine::lcd() noexcept {
    return m_state->lcd;
}

TIFunctions::BitString Machine::lcdPicture() const {
    return m_state->lcd.picture();
}

const std::vector<FrameTiming>& Machine::frames() const noexcept {
    return m_state->frames;
}

std::size_t Machine::interruptsTaken() const noexcept {
    return m_state->interrupts;
}

const std::vector<std::uint16_t>& Machine::bcalls() const noexcept {
    return m_state->bcallsMade;
}

ExitCheck Machine::exitCheck() const {
    const State& s = *m_state;
    const CpuState state = cpu();
    const OsAddresses& os = osAddresses(s.model);
    ExitCheck check;
    check.sp = state.sp;
    check.expectedSp = static_cast<std::uint16_t>(s.entrySp + 2);
    check.iy = state.iy;
    check.im = state.im;
    check.stack = state.sp == check.expectedSp;
    check.expectedIy = s.osFlagsAddress();
    check.flags = state.iy == check.expectedIy;
    check.mode1 = state.im == 1;
    check.interrupts = state.iff1;
    const auto picture = s.lcd.picture();
    check.screenClear =
        s.lcd.displayOn() && std::all_of(picture.bytes().begin(), picture.bytes().end(),
                                         [](std::uint8_t b) { return b == 0; });
    check.apdFlagsAtEntry = s.apdAtEntry;
    check.apdFlagsAtExit = s.osFlags(kApdFlags) & (1U << kApdAble | 1U << kApdRunning);
    check.powerDown = check.apdFlagsAtExit == check.apdFlagsAtEntry;
    check.scanCode = s.read(os.kbdScanCode);
    check.noKeyPending = check.scanCode == 0 && s.read(os.kbdKey) == 0 &&
                         s.read(os.kbdGetKy) == 0 && !(s.osFlags(kKbdFlags) & 1U << kKbdScr);
    check.clearUp = !s.keypad.down(kKeyClear);
    check.onClear = !(s.osFlags(kOnFlags) & 1U << kOnInterrupt);
    check.graphDraw = !s.graphChanged || (s.osFlags(kGraphFlags) & 1U << kGraphDraw) != 0;
    check.speedAtEntry = s.speedAtEntry;
    check.speedAtExit = s.speedPort;
    check.speed = check.speedAtExit == check.speedAtEntry;
    check.runIndicator = (s.osFlags(kIndicFlags) & 1U << kIndicRun) == s.indicatorAtEntry;
    return check;
}

std::span<const double, 4> timerRates(MachineModel model) noexcept {
    switch (model) {
        case MachineModel::Ti83:
            return kTi83TimerRates;
        case MachineModel::Ti82:
            return kTi82TimerRates;
        case MachineModel::Ti84Plus:
            return kTi84PlusTimerRates;
        case MachineModel::Ti83Plus:
            break;
    }
    return kTimerRates;
}

const OsAddresses& osAddresses(MachineModel model) noexcept {
    // ti83plus.inc; for the TI-83, ti83asm.inc's apdvar (0x800A) is apdTimer, and the bytes
    // before it follow the 83 Plus's order (its 0x843F-0x8449 lie 0x43F higher, as contrast and
    // curRow do).
    // The TI-82: IY and GRAPH_MEM from the shells' include files; its key and power-down bytes
    // are taken to lie as the TI-83's (its OS is the TI-83's ancestor), unconfirmed.
    static const OsAddresses plus{0x843F, 0x8444, 0x8445, 0x8448, 0x8449, kPlotSScreen, kOsFlags};
    static const OsAddresses ti83{0x8000, 0x8005, 0x8006, 0x8009, 0x800A, 0x8E29, kOsFlags};
    static const OsAddresses ti82{0x8000, 0x8005, 0x8006, 0x8009, 0x800A, 0x88B8, kTi82OsFlags};
    if (model == MachineModel::Ti82) return ti82;
    return model == MachineModel::Ti83 ? ti83 : plus;
}

int scanCode(Key key) noexcept {
    return key.group * 8 + key.bit + 1;
}

std::string exitProblems(const ExitCheck& check) {
    std::string text;
    const auto add = [&](bool ok, const std::string& what) {
        if (!ok) text += (text.empty() ? "" : ", ") + what;
    };
    const auto apdText = [](std::uint8_t bits) {
        return std::string((bits & 1U << kApdAble) ? "apdAble" : "no apdAble") +
               ((bits & 1U << kApdRunning) ? " and apdRunning" : " nor apdRunning");
    };
    add(check.stack, "SP " + hex4(check.sp) + " instead of " + hex4(check.expectedSp));
    add(check.flags, "IY " + hex4(check.iy) + " instead of " + hex4(check.expectedIy));
    add(check.mode1, "interrupt mode " + std::to_string(check.im));
    add(check.interrupts, "interrupts disabled");
    add(check.screenClear, "the screen not cleared");
    add(check.powerDown, "auto power-down left with " + apdText(check.apdFlagsAtExit) +
                             " instead of " + apdText(check.apdFlagsAtEntry));
    add(check.noKeyPending, "a key left pending (kbdScanCode " + hex2(check.scanCode) +
                                ", or kbdKey, kbdGetKy, kbdSCR)");
    add(check.clearUp, "[CLEAR] still down when the program returned");
    add(check.onClear, "onInterrupt left set");
    add(check.graphDraw, "the graph buffer changed without graphDraw set");
    add(check.speed, "the CPU speed (port 0x20) left at " + hex2(check.speedAtExit) +
                         " instead of " + hex2(check.speedAtEntry));
    add(check.runIndicator, "the run indicator not restored");
    return text;
}

}  // namespace emulator
