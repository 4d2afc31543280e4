#include "playerrun.hpp"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "calcfiles.hpp"
#include "symbols.hpp"

namespace playertest {

namespace {

std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Player {
    std::vector<std::uint8_t> code = readBytes(KELVONAR_PLAYER_BIN);
    emulator::Symbols symbols = emulator::Symbols::read(KELVONAR_PLAYER_SYM);
};

const Player& player() {
    static const Player instance;
    return instance;
}

// The 83 Plus player's screen buffer (plotSScreen) ends here; a pattern after it shows writes past
// the buffer.
constexpr std::uint16_t kPastScreen = 0x9340 + 768;
const std::vector<std::uint8_t> kPastScreenPattern(16, 0xA5);

// Far more than any frame needs: the run never ends on the limit unless the player hangs.
constexpr std::uint64_t kTStatesPerFrame = 2'000'000;

}  // namespace

std::size_t dataCapacity() {
    const std::size_t programEnd = player().symbols.at("player_data") + 1 + pack::kNameLength;
    return emulator::kSymbolTable - 2 * emulator::kSymbolEntry - programEnd - 2;
}

PlayerRun runPlayer(std::span<const std::uint8_t> records, const RunOptions& options) {
    const Player& p = player();
    emulator::Machine machine(options.timerHz);
    // The program names one AppVar, DATA, which holds the records.
    std::vector<std::uint8_t> program = {0xBB, 0x6D};
    const std::size_t playerLength = p.symbols.at("player_data") - emulator::kProgramStart;
    program.insert(program.end(), p.code.begin(),
                   p.code.begin() + static_cast<std::ptrdiff_t>(playerLength));
    program.insert(program.end(), {1, 'D', 'A', 'T', 'A', 0, 0, 0, 0});
    emulator::installVariables(
        machine, {{pack::kProtectedProgramType, "PLAYER", false, pack::sizedData(program)},
                  {pack::kAppVarType, "DATA", options.archived, pack::sizedData(records)}});
    machine.writeRam(kPastScreen, kPastScreenPattern);
    machine.setFrameLabels(p.symbols.at("frame_begin"), p.symbols.at("frame_shown"));
    if (options.clearAtFrame) machine.pressKeyAtFrame(emulator::kKeyClear, *options.clearAtFrame);

    PlayerRun run;
    machine.onFrameShown(
        [&](const emulator::FrameTiming&) { run.shown.push_back(machine.lcdPicture()); });
    const std::size_t frames = options.frames != 0 ? options.frames : records.size() / 2;
    run.result = machine.run(kTStatesPerFrame * (frames + 4));
    run.frames = machine.frames();
    run.exit = machine.exitCheck();
    run.gapViolations = machine.lcd().gapViolations();
    run.pastScreenIntact = true;
    for (std::size_t i = 0; i < kPastScreenPattern.size(); ++i) {
        if (machine.readMemory(static_cast<std::uint16_t>(kPastScreen + i)) !=
            kPastScreenPattern[i])
            run.pastScreenIntact = false;
    }
    if (options.clearAtFrame && *options.clearAtFrame < run.frames.size()) {
        run.clearPressedAt = run.frames[*options.clearAtFrame].begin;
    }
    return run;
}

}  // namespace playertest
