#include "emurun.hpp"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <sstream>

#include "animation.hpp"
#include "atomicfile.hpp"
#include "calcfiles.hpp"
#include "canvascheck.hpp"
#include "converter.hpp"
#include "datafile.hpp"
#include "exports.hpp"
#include "packer.hpp"
#include "program.hpp"
#include "symbols.hpp"
#include "tifunctions.hpp"

namespace emulator {

namespace {

namespace fs = std::filesystem;

// T-states between two pictures of the GIF: its ten frames a second.
constexpr std::uint64_t kGifPeriod = kClockHz / player::kFramesPerSecond;
// Emulated time a run may take: this much per record, and some for start and end.
constexpr std::uint64_t kLimitPerRecord = kClockHz;
constexpr std::uint64_t kLimitSpare = 10 * kClockHz;
constexpr std::uint64_t kMaxHz = 100'000;

std::vector<std::uint8_t> readBinary(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw support::FileError(path, support::errorText(errno));
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                    std::istreambuf_iterator<char>());
    if (file.bad()) throw support::FileError(path, "cannot be read");
    return bytes;
}

// Whether the file at path starts as a calculator variable file does.
bool isCalculatorFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    char head[6] = {};
    file.read(head, sizeof head);
    return file && std::string_view(head, sizeof head) == "**TI83";
}

std::string hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value & 0xFFFFU);
    return text;
}

// 1234567 as "1,234,567".
std::string grouped(std::uint64_t value) {
    std::string digits = std::to_string(value);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), ",");
    return digits;
}

std::string yesNo(bool value) {
    return value ? "yes" : "no";
}

// What the OS finds wrong after the program returned.
std::string exitProblems(const ExitCheck& check, const CpuState& cpu) {
    std::string text;
    const auto add = [&](bool ok, const std::string& what) {
        if (!ok) text += (text.empty() ? "" : ", ") + what;
    };
    add(check.stack, "SP " + hex4(cpu.sp) + " instead of " + hex4(kEntryStack + 2));
    add(check.flags, "IY " + hex4(cpu.iy) + " instead of " + hex4(kOsFlags));
    add(check.mode1, "interrupt mode " + std::to_string(cpu.im));
    add(check.interrupts, "interrupts disabled");
    add(check.screenClear, "the screen not cleared");
    return text;
}

void writeCycles(const std::string& path, const std::vector<FrameTiming>& frames,
                 const std::vector<std::uint8_t>& codeTypes) {
    std::ostringstream csv;
    csv << "frame,code_type,used,waited\n";
    for (const FrameTiming& frame : frames) {
        csv << frame.frame << ',';
        if (frame.frame < codeTypes.size()) csv << int{codeTypes[frame.frame]};
        csv << ',' << frame.used() << ',' << frame.waited << '\n';
    }
    support::writeFileAtomic(path, csv.str());
}

// The code type of every record of data, a byte each, decoding the records one after another on
// one screen. Throws TIFunctions::RecordError.
std::vector<std::uint8_t> recordCodeTypes(std::span<const std::uint8_t> data) {
    TIFunctions::RecordDecoder decoder(data, player::ScreenSize{}.pixels());
    std::vector<std::uint8_t> codeTypes;
    while (decoder.next())
        codeTypes.push_back(static_cast<std::uint8_t>(decoder.header().codeType));
    return codeTypes;
}

// What the run writes as it goes, one LCD picture at a time, so that no output keeps every
// picture. The machine calls it from inside the emulated CPU, so an error is kept to be thrown
// once the run is over rather than thrown through the emulator.
class FrameOutputs {
  public:
    FrameOutputs(const EmuOptions& options, std::size_t records) {
        if (options.framesFolder) {
            std::error_code error;
            fs::create_directories(*options.framesFolder, error);
            if (error) throw support::FileError(*options.framesFolder, error.message());
            m_folder = *options.framesFolder;
        }
        if (options.checkFolder) {
            m_check.emplace(*options.checkFolder, records, player::ScreenSize{});
        }
        if (options.gifPath) m_gif = player::openGif(*options.gifPath, {player::ScreenSize{}, 4});
    }

    // The picture of frame k, as the LCD shows it once the frame is complete.
    void frameShown(std::size_t k, const TIFunctions::BitString& picture) {
        guard([&] {
            if (m_folder) {
                conversion::savePbm(
                    picture, Lcd::kWidth, Lcd::kHeight,
                    (fs::path(*m_folder) / (TIFunctions::ToDecimal8(k) + ".pbm")).string());
            }
            if (m_check) m_check->add(picture);
        });
    }
    // The picture the LCD shows at a tenth of a second.
    void gifPicture(const TIFunctions::BitString& picture) {
        guard([&] {
            if (m_gif) m_gif->add(picture);
        });
    }
    // Ends the GIF and throws the first error of the run, if any.
    void finish() {
        if (m_error) std::rethrow_exception(m_error);
        if (m_gif) m_gif->finish();
    }
    const player::CanvasCheck* check() const { return m_check ? &*m_check : nullptr; }

  private:
    template <typename Step>
    void guard(Step step) {
        if (m_error) return;
        try {
            step();
        } catch (...) {
            m_error = std::current_exception();
        }
    }

    std::optional<std::string> m_folder;
    std::optional<player::CanvasCheck> m_check;
    std::unique_ptr<player::FrameSink> m_gif;
    std::exception_ptr m_error;
};

}  // namespace

EmuOptions parseEmuArguments(const std::vector<std::string>& arguments) {
    static constexpr support::Option kOptions[] = {
        {"--player", true},         {"--symbols", true}, {"--frames", true},
        {"--check", true},          {"--lossy", false},  {"--gif", true},
        {"--cycles", true},         {"--plot", true},    {"--hz", true},
        {"--press-clear-at", true}, {"--model", true}};
    const support::Arguments parsed =
        support::parseArguments(arguments, kOptions, "a data file or calculator files");
    EmuOptions options;
    options.help = parsed.help();
    options.version = parsed.version();
    if (options.help || options.version) return options;

    options.files = parsed.operands();
    if (options.files.empty()) throw support::UsageError("no data file given");
    if (const auto model = parsed.value("--model")) {
        if (*model != "ti83plus" && *model != "ti83")
            throw support::UsageError("--model is ti83plus or ti83, not \"" + *model + "\"");
        options.model = *model;
    }
    options.framesFolder = parsed.value("--frames");
    options.checkFolder = parsed.value("--check");
    options.lossy = parsed.has("--lossy");
    options.gifPath = parsed.value("--gif");
    options.cyclesPath = parsed.value("--cycles");
    options.plotPath = parsed.value("--plot");
    if (const auto hz = parsed.value("--hz"))
        options.timerHz = static_cast<double>(support::wholeNumber("--hz", *hz, 1, kMaxHz));
    else if (options.model == "ti83")
        options.timerHz = kTi83TimerRates[3];
    if (const auto frame = parsed.value("--press-clear-at")) {
        options.pressClearAt =
            static_cast<std::size_t>(support::wholeNumber("--press-clear-at", *frame, 0, 99999999));
    }
    if (options.lossy && !options.checkFolder)
        throw support::UsageError("--lossy goes with --check");

    const auto player = parsed.value("--player");
    const auto symbols = parsed.value("--symbols");
    if (options.model != "ti83" && player.has_value() != symbols.has_value())
        throw support::UsageError("--player and --symbols go together");
    if (options.model == "ti83") {
        // The .83p file holds its player; only its labels are needed.
        if (player) throw support::UsageError("--model ti83 takes --symbols only");
#if defined(KELVONAR_PLAYER83_SYM)
        options.symbolsPath = symbols.value_or(KELVONAR_PLAYER83_SYM);
#else
        if (!symbols) throw support::UsageError("this build has no TI-83 player: give --symbols");
        options.symbolsPath = *symbols;
#endif
    } else {
#if defined(KELVONAR_PLAYER_BIN) && defined(KELVONAR_PLAYER_SYM)
        options.playerPath = player.value_or(KELVONAR_PLAYER_BIN);
        options.symbolsPath = symbols.value_or(KELVONAR_PLAYER_SYM);
#else
        if (!player)
            throw support::UsageError("this build has no player: give --player and --symbols");
        options.playerPath = *player;
        options.symbolsPath = *symbols;
#endif
    }
    for (const auto& output : {options.gifPath, options.cyclesPath, options.plotPath}) {
        for (const std::string& file : options.files) {
            if (output && fs::path(*output) == fs::path(file))
                throw support::UsageError("an output may not replace the input " + *output);
        }
    }
    return options;
}

std::string emuUsage() {
    return "Usage: kelvonar-emu [OPTIONS] DATA\n"
           "       kelvonar-emu [--model ti83plus|ti83] [OPTIONS] FILES...\n"
           "Runs the calculator player in an emulated TI-83 Plus or TI-83 and reports how long\n"
           "each frame takes: on the frame records of DATA (a my.z80 file), or as the\n"
           "calculator runs the files kelvonar-pack made: for the TI-83 Plus (.8xp, .8xv,\n"
           "and .8xg) the AppVars in RAM or in the archive as each file says, the program\n"
           "started as Asm( does; for the TI-83 (.83p) the program started as Send(9 does.\n"
           "\n"
           "  --model ti83plus      TI-83 Plus (the default)\n"
           "  --model ti83          TI-83 (ROM 1.x): .83p files only; its player is in the file\n"
           "  --player BIN          the player's bytes (first byte at 0x9D95); default: the one\n"
           "                        this build assembled\n"
           "  --symbols SYM         its labels, as z80-unknown-coff-nm lists them (with --player;\n"
           "                        for the TI-83 alone, the player linked at 0)\n"
           "  --frames DIR          the LCD at each frame as DIR/NNNNNNNN.pbm, from 00000000\n"
           "  --check DIR           compare the frames with the canvases of\n"
           "                        kelvonar --dump-canvases\n"
           "  --lossy               with --check: only every tenth frame must be equal\n"
           "                        (by default when DIR/canvases.ini records Quality or\n"
           "                        interlacing)\n"
           "  --gif FILE            what the LCD showed, at its real timing, as an animated GIF\n"
           "  --cycles FILE         CSV: frame,code_type,used,waited (T-states)\n"
           "  --plot FILE.png       T-states used per frame against the 450,000 budget\n"
           "  --hz N                timer interrupts a second (default 118; the 83 Plus has 560,\n"
           "                        248, 170 and 118; the TI-83 about 500, 214, 136 and 97,\n"
           "                        default 97, drifting with its batteries)\n"
           "  --press-clear-at N    press [CLEAR] when frame N (from 0) begins\n"
           "  -h, --help            this text\n"
           "  --version             the version\n"
           "\n"
           "Exit status: 0 the player showed every frame, kept the LCD's timing and left the OS\n"
           "as it found it (and --check passed); 1 a fault, a failed check or an unreadable\n"
           "file; 2 a usage error.\n";
}

int runEmu(const EmuOptions& options, std::ostream& out, std::ostream& err) {
    const std::string& firstPath = options.files.front();
    const bool calculatorFiles = isCalculatorFile(firstPath);
    const bool ti83 = options.model == "ti83";
    const pack::Family family = ti83 ? pack::Family::Ti83 : pack::Family::Ti83Plus;
    std::vector<pack::Variable> variables;
    std::vector<std::uint8_t> data;
    if (calculatorFiles) {
        for (const std::string& path : options.files) {
            pack::CalcFile file = pack::readCalcFile(readBinary(path), path);
            if (file.family != family) {
                throw support::FileError(path, ti83 ? "is not a file for the TI-83"
                                                    : "is not a file for the TI-83 Plus family");
            }
            for (auto& variable : file.variables)
                variables.push_back(std::move(variable));
        }
    } else if (ti83) {
        throw support::FileError(firstPath,
                                 "is no .83p file: --model ti83 plays what kelvonar-pack "
                                 "--model ti83 wrote");
    } else {
        if (options.files.size() > 1) {
            throw support::FileError(options.files[1],
                                     "only calculator files go together, not with a my.z80");
        }
        data = player::readDataFile(firstPath);
    }
    for (const auto& output : {options.gifPath, options.cyclesPath, options.plotPath}) {
        if (output) support::checkWritable(*output);
    }

    const Symbols symbols = Symbols::read(options.symbolsPath);
    Machine machine(options.timerHz, 1, ti83 ? MachineModel::Ti83 : MachineModel::Ti83Plus);
    bool failed = false;
    const auto fail = [&](const std::string& message) {
        err << "kelvonar-emu: " << message << '\n';
        failed = true;
    };
    // The player's labels lie this far from the symbols' addresses (the TI-83 player is linked
    // at 0 and runs where its program lies).
    std::uint16_t labelBase = 0;
    if (ti83) {
        Send9Start start;
        try {
            start = startSend9(machine, variables);
        } catch (const MachineError& error) {
            throw support::FileError(firstPath, error.what());
        }
        labelBase = start.binary;
        const PlacedVariable& program =
            *std::find_if(start.placed.begin(), start.placed.end(), [](const PlacedVariable& p) {
                return p.variable.type == pack::kProgramType ||
                       p.variable.type == pack::kProtectedProgramType;
            });
        // The records lie behind their size word at player_data.
        const auto& bytes = program.variable.data;
        const std::size_t at = start.binary - program.address + symbols.at("player_data");
        const std::size_t size = at + 2 <= bytes.size() ? (bytes[at] | bytes[at + 1] << 8) : 0;
        if (at + 2 + size > bytes.size()) {
            throw support::FileError(firstPath, "the program " + program.variable.name +
                                                    " holds no records where " +
                                                    options.symbolsPath + " says");
        }
        data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at + 2),
                    bytes.begin() + static_cast<std::ptrdiff_t>(at + 2 + size));
    }
    const std::vector<std::uint8_t> player =
        ti83 ? std::vector<std::uint8_t>{} : readBinary(options.playerPath);
    const std::uint16_t dataAddress = ti83 ? 0 : symbols.at("player_data");
    if (!ti83 && (dataAddress < kProgramStart || dataAddress > kProgramStart + player.size())) {
        throw support::FileError(options.symbolsPath, "player_data " + hex4(dataAddress) +
                                                          " does not lie in the player's bytes");
    }
    const std::size_t playerLength = ti83 ? 0 : dataAddress - kProgramStart;

    if (calculatorFiles && !ti83) {
        // The program runs as the calculator's OS would start it; its AppVars give the records.
        std::vector<PlacedVariable> placed;
        try {
            placed = installVariables(machine, variables);
        } catch (const MachineError& error) {
            throw support::FileError(firstPath, error.what());
        }
        const std::vector<std::uint8_t> code = programCode(placed.front().variable);
        if (code.size() < playerLength ||
            !std::equal(player.begin(), player.begin() + static_cast<std::ptrdiff_t>(playerLength),
                        code.begin())) {
            throw support::FileError(firstPath, "the program " + placed.front().variable.name +
                                                    " holds another player than " +
                                                    options.playerPath +
                                                    ": give --player and --symbols of its build");
        }
        try {
            for (const std::string& name : pack::appVarTable(code, playerLength)) {
                const auto found =
                    std::find_if(placed.begin(), placed.end(), [&](const PlacedVariable& p) {
                        return p.variable.name == name && p.variable.type == pack::kAppVarType;
                    });
                if (found == placed.end()) {
                    fail("the program plays the AppVar " + name + ", which no file holds");
                    continue;
                }
                data.insert(data.end(), found->variable.data.begin() + 2,
                            found->variable.data.end());
            }
        } catch (const pack::PackError& error) {
            throw support::FileError(firstPath, error.what());
        }
    } else if (!ti83) {
        // The records in one AppVar in RAM, which the program names after the player.
        std::vector<std::uint8_t> program = {0xBB, 0x6D};
        program.insert(program.end(), player.begin(),
                       player.begin() + static_cast<std::ptrdiff_t>(playerLength));
        const std::string name = "DATA";
        program.push_back(1);
        for (std::size_t i = 0; i < pack::kNameLength; ++i)
            program.push_back(i < name.size() ? static_cast<std::uint8_t>(name[i]) : 0);
        if (data.size() > pack::kMaxVariableData - 2) {
            throw support::FileError(firstPath, "the records of " + std::to_string(data.size()) +
                                                    " bytes do not fit one AppVar (at most " +
                                                    std::to_string(pack::kMaxVariableData - 2) +
                                                    " bytes)");
        }
        try {
            installVariables(
                machine, {{pack::kProtectedProgramType, "PLAYER", false, pack::sizedData(program)},
                          {pack::kAppVarType, name, false, pack::sizedData(data)}});
        } catch (const MachineError& error) {
            throw support::FileError(firstPath, error.what());
        }
    }
    std::vector<std::uint8_t> records;
    std::optional<std::string> decodeFault;
    try {
        records = recordCodeTypes(data);
    } catch (const TIFunctions::RecordError& error) {
        decodeFault = player::AnimationError(firstPath, error).what();
    }
    machine.setFrameLabels(static_cast<std::uint16_t>(labelBase + symbols.at("frame_begin")),
                           static_cast<std::uint16_t>(labelBase + symbols.at("frame_shown")));
    if (options.pressClearAt) machine.pressKeyAtFrame(kKeyClear, *options.pressClearAt);

    FrameOutputs outputs(options, records.size());
    machine.onFrameShown(
        [&](const FrameTiming& frame) { outputs.frameShown(frame.frame, machine.lcdPicture()); });
    if (options.gifPath) {
        outputs.gifPicture(machine.lcdPicture());
        machine.onTick(kGifPeriod,
                       [&](std::uint64_t) { outputs.gifPicture(machine.lcdPicture()); });
    }
    const RunResult result =
        machine.run(kLimitSpare + kLimitPerRecord * static_cast<std::uint64_t>(records.size() + 1));
    const std::vector<FrameTiming>& frames = machine.frames();

    if (decodeFault) fail("the records do not decode: " + *decodeFault);
    if (!result.returned) fail("fault: " + result.fault);

    if (options.cyclesPath) writeCycles(*options.cyclesPath, frames, records);
    if (options.plotPath) writeCyclePlot(*options.plotPath, frames);
    outputs.finish();

    // The summary.
    out << "frames shown: " << frames.size() << " of " << records.size() << '\n';
    if (!frames.empty()) {
        const auto worst =
            std::max_element(frames.begin(), frames.end(),
                             [](const auto& a, const auto& b) { return a.used() < b.used(); });
        std::uint64_t total = 0;
        std::size_t over = 0;
        for (const FrameTiming& frame : frames) {
            total += frame.used();
            if (frame.used() > kFrameBudget) ++over;
        }
        out << "T-states per frame: worst " << grouped(worst->used()) << " (frame " << worst->frame
            << "), mean " << grouped(total / frames.size()) << ", budget " << grouped(kFrameBudget)
            << (over > 0 ? ", " + std::to_string(over) + " frames over it" : std::string()) << '\n';
    }
    if (frames.size() >= 2) {
        const double seconds = static_cast<double>(frames.back().shown - frames.front().shown) /
                               static_cast<double>(kClockHz);
        char tempo[64];
        std::snprintf(tempo, sizeof tempo, "%.3f",
                      static_cast<double>(frames.size() - 1) / seconds);
        out << "tempo: " << tempo << " frames per emulated second\n";
    }
    out << "LCD gap violations: " << machine.lcd().gapViolations() << '\n';
    out << "interrupts taken: " << machine.interruptsTaken() << " at " << options.timerHz
        << " Hz\n";
    const ExitCheck check = machine.exitCheck();
    out << "OS state restored: " << yesNo(result.returned && check.all()) << '\n';

    if (result.returned && !check.all())
        fail("the OS state is not restored: " + exitProblems(check, machine.cpu()));
    if (machine.lcd().gapViolations() > 0) {
        fail(std::to_string(machine.lcd().gapViolations()) +
             " LCD accesses came closer than 60 T-states, the first at T-state " +
             std::to_string(machine.lcd().firstViolationAt()));
    }
    if (result.returned && !options.pressClearAt && frames.size() != records.size()) {
        fail("the player showed " + std::to_string(frames.size()) + " frames of " +
             std::to_string(records.size()));
    }
    if (options.pressClearAt && frames.size() > *options.pressClearAt + 1) {
        fail("[CLEAR] went down at frame " + std::to_string(*options.pressClearAt) +
             ", but the player showed " + std::to_string(frames.size()) + " frames");
    }
    if (const player::CanvasCheck* check = outputs.check()) {
        const player::CheckReport& report = check->report();
        const bool lossy = player::checkIsLossy(*options.checkFolder, options.lossy);
        out << player::describeCheck(report, lossy);
        if (!report.passed(lossy)) fail("the LCD frames do not match the canvases");
    }
    return failed ? support::kExitFailed : support::kExitDone;
}

}  // namespace emulator
