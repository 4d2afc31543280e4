// The assembled 83 Plus player in the emulated calculator on records made from the input: it
// returns, writes only its buffers, and shows what the desktop decoder shows.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "calcprograms.hpp"
#include "check.hpp"
#include "framedecoder.hpp"
#include "symbols.hpp"
#include "variables.hpp"

namespace {

constexpr std::size_t kScreenBits = 96 * 64;
// Records played at most, and record bytes: each frame costs the player a tenth of a second.
constexpr std::size_t kMaxFrames = 3;
constexpr std::size_t kMaxBytes = 8 * 1024;
constexpr std::uint64_t kStartTStates = 2'000'000;
constexpr std::uint64_t kFrameTStates = 1'500'000;

// RAM the player may change: OP1, the OS flags, the screen buffer, appBackUpScreen (its
// variables and IM 2 table), the stack; the free RAM from (kFps) on for a record that crosses a
// flash page, and the operands of its own code that it patches for each record.
struct Area {
    std::uint16_t begin;
    std::size_t size;
};
// What the player and the OS's interrupt handler may change: OP1, the OS's key bytes and
// auto power-down counters (kbdScanCode 0x843F up to apdTimer 0x8449), the flags, the screen
// buffer, appBackUpScreen and the stack.
constexpr Area kWritable[] = {
    {emulator::kOp1, 10}, {0x843F, 0x8449 - 0x843F + 1}, {emulator::kOsFlags, 0x50}, {0x9340, 768},
    {0x9872, 768},        {emulator::kStackLimit, 0x200}};
constexpr std::size_t kMaxRecord = 1 + 768 * 3;

struct CalcProgram {
    std::vector<std::uint8_t> program;  // the Asm( program's content, its AppVar table to follow
    std::uint16_t frameBegin = 0;
    std::uint16_t frameShown = 0;
    std::uint16_t frameWaited = 0;
    std::vector<std::uint16_t> patched;  // the code bytes the player patches as it decodes
};

const CalcProgram& calcProgram() {
    static const CalcProgram instance = [] {
        CalcProgram p;
        const auto code = pack::builtProgram(pack::Model::Ti83Plus);
        fuzz::require(!code.empty(), "the build holds the 83 Plus player");
        p.program = {0xBB, 0x6D};
        p.program.insert(p.program.end(), code.begin(), code.end());
        const auto symbols = emulator::Symbols::read(KELVONAR_PROGRAM_SYM);
        p.frameBegin = symbols.at("frame_begin");
        p.frameShown = symbols.at("frame_shown");
        p.frameWaited = symbols.at("frame_waited");
        for (const char* label : {"put_background", "run_background", "token_background"})
            p.patched.push_back(static_cast<std::uint16_t>(symbols.at(label) + 1));
        for (const char* label : {"put_apply", "run_apply"})
            p.patched.push_back(symbols.at(label));
        return p;
    }();
    return instance;
}

std::vector<std::uint8_t> ramImage(const emulator::Machine& machine) {
    std::vector<std::uint8_t> ram(0x8000);
    for (std::size_t i = 0; i < ram.size(); ++i)
        ram[i] = machine.readMemory(static_cast<std::uint16_t>(0x8000 + i));
    return ram;
}

bool writable(std::size_t address, std::uint16_t window) {
    if (address >= window && address < window + kMaxRecord) return true;
    const auto& patched = calcProgram().patched;
    if (std::find(patched.begin(), patched.end(), address) != patched.end()) return true;
    return std::any_of(std::begin(kWritable), std::end(kWritable), [&](const Area& area) {
        return address >= area.begin && address < area.begin + area.size;
    });
}

}  // namespace

// Input: flags (byte 0: bit 0 the records lie in the archive, bit 1 in two AppVars split after
// the first record), an archived AppVar's size before them (bytes 1-2, little-endian, up to
// 0x1FFF: moves the records toward a page's end), then the records.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const bool archived = (data[0] & 1) != 0;
    const bool split = (data[0] & 2) != 0;
    const std::size_t padding = (data[1] | data[2] << 8) & 0x1FFF;
    std::span<const std::uint8_t> records(data + 3, std::min(size - 3, kMaxBytes));

    // The desktop decoder's screens, up to the first record it refuses or kMaxFrames.
    std::vector<TIFunctions::BitString> screens;
    std::vector<std::size_t> ends;
    std::string refusal;
    TIFunctions::RecordDecoder decoder(records, kScreenBits);
    try {
        while (screens.size() < kMaxFrames && decoder.next()) {
            screens.push_back(decoder.screen());
            ends.push_back(decoder.position());
        }
        if (screens.size() == kMaxFrames) records = records.first(ends.back());
    } catch (const TIFunctions::RecordError& error) {
        refusal = error.what();
    }

    // The program names the AppVars holding the records; an archived AppVar may lie before them.
    const CalcProgram& p = calcProgram();
    std::vector<std::span<const std::uint8_t>> pieces = {records};
    if (split && !ends.empty() && ends.front() < records.size())
        pieces = {records.first(ends.front()), records.subspan(ends.front())};
    std::vector<std::uint8_t> program = p.program;
    program.push_back(static_cast<std::uint8_t>(pieces.size()));
    std::vector<pack::Variable> variables = {{pack::kProtectedProgramType, "PLAYER", false, {}}};
    if (archived && padding > 0) {
        variables.push_back({pack::kAppVarType, "PAD", true,
                             pack::sizedData(std::vector<std::uint8_t>(padding, 0xA5))});
    }
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        const std::string name = "DATA" + std::to_string(k);
        for (std::size_t i = 0; i < pack::kNameLength; ++i)
            program.push_back(i < name.size() ? static_cast<std::uint8_t>(name[i]) : 0);
        variables.push_back({pack::kAppVarType, name, archived, pack::sizedData(pieces[k])});
    }
    variables.front().data = pack::sizedData(program);

    emulator::Machine machine;
    emulator::installVariables(machine, variables);
    machine.setFrameLabels(p.frameBegin, p.frameShown, p.frameWaited);
    std::vector<TIFunctions::BitString> shown;
    machine.onFrameShown([&](const emulator::FrameTiming&) {
        shown.push_back(machine.lcdPicture());
        if (shown.size() > screens.size())
            std::fprintf(stderr, "frame %zu shown; the desktop decoder: %s\n", shown.size() - 1,
                         refusal.c_str());
        fuzz::require(shown.size() <= screens.size(),
                      "the player shows no record the desktop decoder refuses");
        fuzz::require(shown.back() == screens[shown.size() - 1],
                      "each frame shown equals the desktop decoder's");
    });
    const std::vector<std::uint8_t> before = ramImage(machine);
    const auto window = static_cast<std::uint16_t>(machine.readMemory(emulator::kFps) |
                                                   machine.readMemory(emulator::kFps + 1) << 8);

    const emulator::RunResult result =
        machine.run(kStartTStates + kFrameTStates * (screens.size() + 1));
    if (!result.returned) std::fprintf(stderr, "the player stopped: %s\n", result.fault.c_str());
    fuzz::require(result.returned, "the player returns to the OS");
    fuzz::require(shown.size() == screens.size(),
                  "the player shows every record the desktop decoder shows");
    fuzz::require(machine.exitCheck().all(), "the player leaves the OS as it found it");
    const std::vector<std::uint8_t> after = ramImage(machine);
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (before[i] != after[i] && !writable(0x8000 + i, window)) {
            std::fprintf(stderr, "the player changed RAM at 0x%04zX\n", 0x8000 + i);
            fuzz::require(false, "the player writes only its buffers");
        }
    }
    return 0;
}
