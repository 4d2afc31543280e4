#include "calcrun.hpp"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "symbols.hpp"
#include "variables.hpp"

namespace calcrun {

namespace {

std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct CalcProgram {
    std::vector<std::uint8_t> code = readBytes(KELVONAR_PROGRAM_BIN);
    emulator::Symbols symbols = emulator::Symbols::read(KELVONAR_PROGRAM_SYM);
};

const CalcProgram& calcProgram() {
    static const CalcProgram instance;
    return instance;
}

// The 83 Plus player's screen buffer (plotSScreen) ends here; a pattern after it shows writes past
// the buffer.
constexpr std::uint16_t kPastScreen = 0x9340 + 768;
const std::vector<std::uint8_t> kPastScreenPattern(16, 0xA5);

// The OS's flags (IY) and key bytes on the 83 Plus family (ti83plus.inc).
constexpr std::uint16_t kKbdScanCode = 0x843F;
constexpr std::uint16_t kKbdKey = 0x8444;
constexpr std::uint16_t kKbdGetKy = 0x8445;

OsState readOsState(const emulator::Machine& machine) {
    const auto flag = [&](std::uint16_t offset) {
        return machine.readMemory(static_cast<std::uint16_t>(emulator::kOsFlags + offset));
    };
    return {flag(0x00),
            flag(0x03),
            flag(0x08),
            flag(0x09),
            flag(0x12),
            machine.readMemory(kKbdScanCode),
            machine.readMemory(kKbdKey),
            machine.readMemory(kKbdGetKy)};
}

// A key pending and a break latched, as a program started by [ENTER] may find them.
void setEntryState(emulator::Machine& machine, const RunOptions& options) {
    const auto set = [&](std::uint16_t address, std::uint8_t value) {
        machine.writeRam(address, std::vector<std::uint8_t>{value});
    };
    set(emulator::kOsFlags + 0x00, 0x08);
    set(emulator::kOsFlags + 0x03, 0x00);
    set(emulator::kOsFlags + 0x08, options.apdFlags);
    set(emulator::kOsFlags + 0x09, 0x10);
    set(emulator::kOsFlags + 0x12, options.indicatorOn ? 0x01 : 0x00);
    set(kKbdScanCode, 0x09);
    set(kKbdKey, 0x05);
    set(kKbdGetKy, 0x09);
}

// How long [CLEAR] stays down: 0.2 s at 6 MHz.
constexpr std::uint64_t kClearHeldT = 1'200'000;

// Far more than any frame needs: the run never ends on the limit unless the player hangs.
constexpr std::uint64_t kTStatesPerFrame = 2'000'000;

}  // namespace

std::size_t archivedRecordsOffset() {
    // The entry's header and the name DATA, then the AppVar's size word.
    return emulator::kArchiveStart + emulator::kArchiveHeader + 4 + 2;
}

std::size_t dataCapacity() {
    const std::size_t programEnd = calcProgram().symbols.at("player_data") + 1 + pack::kNameLength;
    return emulator::kSymbolTable - 2 * emulator::kSymbolEntry - programEnd - 2;
}

ProgramRun runProgram(std::span<const std::uint8_t> records, const RunOptions& options) {
    const CalcProgram& p = calcProgram();
    emulator::Machine machine(options.timerHz);
    // The program names one AppVar, DATA, which holds the records.
    std::vector<std::uint8_t> program = {0xBB, 0x6D};
    const std::size_t programLength = p.symbols.at("player_data") - emulator::kProgramStart;
    program.insert(program.end(), p.code.begin(),
                   p.code.begin() + static_cast<std::ptrdiff_t>(programLength));
    program.insert(program.end(), {1, 'D', 'A', 'T', 'A', 0, 0, 0, 0});
    std::vector<pack::Variable> variables = {
        {pack::kProtectedProgramType, "PLAYER", false, pack::sizedData(program)},
        {pack::kAppVarType, "DATA", options.archived, pack::sizedData(records)}};
    if (!options.nextAppVar.empty())
        variables.push_back({pack::kAppVarType, "NEXT", true, pack::sizedData(options.nextAppVar)});
    emulator::installVariables(machine, variables);
    machine.writeRam(kPastScreen, kPastScreenPattern);
    setEntryState(machine, options);
    machine.setFrameLabels(p.symbols.at("frame_begin"), p.symbols.at("frame_shown"),
                           p.symbols.at("frame_waited"));
    if (options.clearAtFrame) machine.pressKeyAtFrame(emulator::kKeyClear, *options.clearAtFrame);

    ProgramRun run;
    run.entry = readOsState(machine);
    machine.onFrameShown([&](const emulator::FrameTiming& timing) {
        if (options.clearAtFrame && timing.frame == *options.clearAtFrame) {
            run.clearPressedAt = timing.begin;
            run.clearReleasedAt = timing.begin + kClearHeldT;
            machine.releaseKey(emulator::kKeyClear, run.clearReleasedAt);
        }
        run.shown.push_back(machine.lcdPicture());
        if (readOsState(machine).apdFlags & 0x08) run.apdCountedInPlay = true;
    });
    const std::size_t frames = options.frames != 0 ? options.frames : records.size() / 2;
    run.result = machine.run(kTStatesPerFrame * (frames + 4));
    run.frames = machine.frames();
    run.exit = machine.exitCheck();
    run.exitState = readOsState(machine);
    run.gapViolations = machine.lcd().gapViolations();
    run.pastScreenIntact = true;
    for (std::size_t i = 0; i < kPastScreenPattern.size(); ++i) {
        if (machine.readMemory(static_cast<std::uint16_t>(kPastScreen + i)) !=
            kPastScreenPattern[i])
            run.pastScreenIntact = false;
    }
    return run;
}

}  // namespace calcrun
