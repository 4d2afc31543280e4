#include "emurun.hpp"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <sstream>

#include "animation.hpp"
#include "atomicfile.hpp"
#include "calcprograms.hpp"
#include "canvascheck.hpp"
#include "codetypes.hpp"
#include "datafile.hpp"
#include "exports.hpp"
#include "models.hpp"
#include "names.hpp"
#include "packer.hpp"
#include "program.hpp"
#include "symbols.hpp"
#include "tifunctions.hpp"
#include "variables.hpp"

namespace emulator {

namespace {

namespace fs = std::filesystem;

// T-states between two pictures of the GIF: its ten frames a second.
constexpr std::uint64_t kGifPeriod = kClockHz / player::kFramesPerSecond;
// Emulated time a run may take: this much per record, and some for start and end.
constexpr std::uint64_t kLimitPerRecord = kClockHz;
constexpr std::uint64_t kLimitSpare = 10 * kClockHz;
// Timer rates a run may ask for: the calculators' lie between about 97 and 560 a second.
constexpr std::uint64_t kMinHz = 30;
constexpr std::uint64_t kMaxHz = 1'000;
// The longest record: a code type 0 key record whose 768 bytes are all escaped markers.
constexpr std::size_t kMaxRecordBytes = 1 + 768 * 3;

std::vector<std::uint8_t> readBinary(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw support::FileError(path, support::errorText(errno));
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                    std::istreambuf_iterator<char>());
    if (file.bad()) throw support::FileError(path, "cannot be read");
    return bytes;
}

// Whether the file at path is meant as a calculator variable file: it starts as one does, or its
// name ends as one's does (.8xp, .83p, ...), so that a damaged one is read, and refused, as one.
bool isCalculatorFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    char head[4] = {};
    file.read(head, sizeof head);
    if (file && std::string_view(head, sizeof head) == "**TI") return true;
    std::string extension = fs::path(path).extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension.size() == 4 && extension[0] == '.' && extension[1] == '8' &&
           (extension[2] == 'x' || extension[2] == '3' || extension[2] == '2');
}

// Keys --hold-key holds: those that share [CLEAR]'s bit in the other groups.
std::optional<Key> keyNamed(const std::string& name) {
    static const std::pair<const char*, Key> kKeys[] = {
        {"vars", {2, 6}}, {"prgm", {3, 6}}, {"apps", {4, 6}}, {"math", {5, 6}}, {"mode", kKeyMode}};
    for (const auto& [keyName, key] : kKeys) {
        if (name == keyName) return key;
    }
    return std::nullopt;
}

// A timer rate as people write it: "118", "107.79".
std::string hzText(double hz) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", hz);
    std::string shown = text;
    while (shown.back() == '0')
        shown.pop_back();
    if (shown.back() == '.') shown.pop_back();
    return shown;
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

void writeCycles(const std::string& path, const std::vector<FrameTiming>& frames,
                 const std::vector<std::uint8_t>& codeTypes) {
    std::ostringstream csv;
    csv << "frame,code_type,code_name,used,waited\n";
    for (const FrameTiming& frame : frames) {
        csv << frame.frame << ',';
        if (frame.frame < codeTypes.size()) {
            // The statistics caption without its colon: NRLE, NTNRLE, ...
            std::string_view name = TIFunctions::codeTypeCaption(codeTypes[frame.frame]);
            name.remove_suffix(name.ends_with(':') ? 1 : 0);
            csv << int{codeTypes[frame.frame]} << ',' << name;
        } else {
            csv << ',';
        }
        csv << ',' << frame.used() << ',' << frame.waited << '\n';
    }
    support::writeFileAtomic(path, csv.str());
}

// The code type of every record of data that decodes, a byte each, decoding the records one
// after another on one screen; fault says why the records after them do not decode.
std::vector<std::uint8_t> recordCodeTypes(std::span<const std::uint8_t> data,
                                          const std::string& path,
                                          std::optional<std::string>& fault) {
    TIFunctions::RecordDecoder decoder(data, player::ScreenSize{}.pixels());
    std::vector<std::uint8_t> codeTypes;
    try {
        while (decoder.next())
            codeTypes.push_back(static_cast<std::uint8_t>(decoder.header().codeType));
    } catch (const TIFunctions::RecordError& error) {
        fault = player::AnimationError(path, error).what();
    }
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
                player::savePbm(
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

constexpr support::Option kOptions[] = {
    {"--model", "MODEL",
     "ti83plus (TI-83 Plus), ti84plus (TI-84 Plus and the SE models: started at 15 MHz, as an OS "
     "may leave it), ti83 (TI-83, ROM 1.x) or ti82 (TI-82, run from a shell); default: what the "
     "files are for, and ti83plus for DATA"},
    {"--player", "BIN",
     "the player's bytes (first byte at 0x9D95); default: the one built into this program"},
    {"--symbols", "SYM",
     "its labels, as z80-unknown-coff-nm lists them (with --player; for the TI-83 and TI-82 "
     "alone, the player linked at 0)"},
    {"--frames", "DIR", "the LCD at each frame as DIR/NNNNNNNN.pbm, from 00000000"},
    player::kCheckOption,
    player::kLossyOption,
    {"--gif", "FILE", "what the LCD showed, at its real timing, as an animated GIF"},
    {"--cycles", "FILE",
     "CSV: frame,code_type,code_name,used,waited (T-states at 6 MHz of real time)"},
    {"--plot", "FILE.png", "T-states used per frame against the 450,000 budget"},
    {"--hz", "N",
     "timer interrupts a second, 30 to 1000 (default: the model's slowest rate: 118 on the TI-83 "
     "Plus of 560, 248, 170 and 118; 107.79 on the TI-84 Plus of 512, 227.55, 146.29 and 107.79; "
     "97 on the TI-83 of about 500, 214, 136 and 97, 98 on the TI-82 of about 490, 210, 134 and "
     "98, both drifting with their batteries)"},
    {"--press-clear-at", "N", "press [CLEAR] when frame N (from 0) begins (released 0.2 s later)"},
    {"--hold-key", "KEY",
     "hold KEY down for the whole run: mode, vars, prgm, apps or math, the keys that share "
     "[CLEAR]'s line in other groups"},
    {"--lcd-gap", "N",
     "the LCD driver's shortest gap between two accesses, in T-states at 6 MHz of real time "
     "(default 70)"},
    {"--power-down-ticks", "N",
     "timer ticks before the OS switches the calculator off while its auto power-down runs "
     "(default 29,696: minutes)"}};

}  // namespace

EmuOptions parseEmuArguments(const std::vector<std::string>& arguments) {
    const support::Arguments parsed =
        support::parseArguments(arguments, kOptions, "a data file or calculator files");
    EmuOptions options;
    options.help = parsed.help();
    options.version = parsed.version();
    if (options.help || options.version) return options;

    options.files = parsed.operands();
    if (options.files.empty()) throw support::UsageError("no data file given");
    if (const auto model = parsed.value("--model")) {
        if (pack::findModel(*model) == nullptr) {
            throw support::UsageError("--model is " + pack::modelNames() + ", not \"" + *model +
                                      "\"");
        }
        options.model = *model;
    }
    options.framesFolder = parsed.value("--frames");
    const player::CheckRequest check = player::checkRequest(parsed);
    options.checkFolder = check.folder;
    options.lossy = check.lossy;
    options.gifPath = parsed.value("--gif");
    options.cyclesPath = parsed.value("--cycles");
    options.plotPath = parsed.value("--plot");
    if (const auto hz = parsed.value("--hz"))
        options.timerHz = static_cast<double>(support::wholeNumber("--hz", *hz, kMinHz, kMaxHz));
    if (const auto frame = parsed.value("--press-clear-at")) {
        options.pressClearAt =
            static_cast<std::size_t>(support::wholeNumber("--press-clear-at", *frame, 0, 99999999));
    }
    if (const auto key = parsed.value("--hold-key")) {
        if (!keyNamed(*key))
            throw support::UsageError("--hold-key is mode, vars, prgm, apps or math, not \"" +
                                      *key + "\"");
        options.holdKey = *key;
    }
    if (const auto gap = parsed.value("--lcd-gap"))
        options.lcdGap =
            static_cast<std::uint64_t>(support::wholeNumber("--lcd-gap", *gap, 0, 10'000));
    if (const auto ticks = parsed.value("--power-down-ticks")) {
        options.powerDownTicks = static_cast<std::uint32_t>(
            support::wholeNumber("--power-down-ticks", *ticks, 1, 1'000'000));
    }

    const auto programFile = parsed.value("--player");
    const auto symbols = parsed.value("--symbols");
    const pack::CalculatorModel* named = options.model ? pack::findModel(*options.model) : nullptr;
    if (named != nullptr && named->start != pack::ProgramStart::AsmCopy) {
        // The .83p or .82p file holds its player; only its labels may be given.
        if (programFile)
            throw support::UsageError("--model " + *options.model + " takes --symbols only");
    } else if (programFile.has_value() != symbols.has_value()) {
        throw support::UsageError("--player and --symbols go together");
    }
    options.programPath = programFile.value_or("");
    options.symbolsPath = symbols.value_or("");
    for (const auto& output : {options.gifPath, options.cyclesPath, options.plotPath}) {
        for (const std::string& file : options.files) {
            if (output && support::wouldReplace(*output, file))
                throw support::UsageError("an output may not replace the input " + *output);
        }
    }
    return options;
}

std::string emuUsage() {
    return "Usage: kelvonar-emu [OPTIONS] DATA\n"
           "       kelvonar-emu [OPTIONS] FILES...\n"
           "Runs the calculator player in an emulated calculator and reports how long each\n"
           "frame takes: on the calculator files kelvonar-pack made, loaded as the calculator\n"
           "holds them after a transfer (.8xp, .8xv and .8xg: the AppVars in RAM or in the\n"
           "archive as each file says, the program started as Asm( does; .83p: the program\n"
           "started as Send(9 does; .82p: as a shell starts it), or on DATA (a my.z80 file),\n"
           "packed first as kelvonar-pack\n"
           "would pack it (its records in the archive when they do not fit RAM).\n"
           "\n" +
           support::programOptionHelp(kOptions, "the data file or the calculator files") +
           "\n"
           "Exit status: 0 the player showed every frame, kept the LCD's timing and left the OS\n"
           "as it found it (and --check passed); 1 a fault, a failed check or an unreadable\n"
           "file; 2 a usage error.\n";
}

namespace {

// What a run plays: the model, its variables as the calculator holds them, and the player's
// labels.
struct Loaded {
    const pack::CalculatorModel* model = nullptr;
    std::vector<pack::Variable> variables;
    pack::ProgramLabels labels;             // where the player's labels lie as it is linked
    std::vector<std::uint8_t> calcProgram;  // 83 Plus family: the player's bytes up to player_data
};

// The model the files are for, or the one --model names; a --model that contradicts the files
// is refused.
const pack::CalculatorModel& chooseModel(const EmuOptions& options,
                                         const std::vector<pack::CalcFile>& files) {
    const pack::CalculatorModel* named = options.model ? pack::findModel(*options.model) : nullptr;
    if (files.empty()) return named != nullptr ? *named : pack::kModels[0];
    const pack::CalculatorModel& fromFile = pack::modelOfFamily(files.front().family);
    for (std::size_t k = 0; k < files.size(); ++k) {
        if (files[k].family != files.front().family) {
            throw support::FileError(options.files[k],
                                     "is for another calculator than " + options.files.front());
        }
    }
    if (named == nullptr) return fromFile;
    if (named->family != fromFile.family) {
        throw support::UsageError("--model " + std::string(named->name) + " does not run " +
                                  options.files.front() + ", a file for the " +
                                  std::string(fromFile.title));
    }
    return *named;
}

// The player's bytes and labels: the ones built into this program, or --player and --symbols.
void chooseProgram(const EmuOptions& options, Loaded& loaded) {
    const pack::Model layout = loaded.model->layout;
    if (options.symbolsPath.empty()) {
        loaded.labels = pack::builtProgramLabels(layout);
        const auto built = pack::builtProgram(layout);
        loaded.calcProgram.assign(built.begin(), built.end());
        if (built.empty() || loaded.labels.frameShown == 0)
            throw support::FileError(options.files.front(), "this build has no player for the " +
                                                                std::string(loaded.model->title));
    } else {
        const Symbols symbols = Symbols::read(options.symbolsPath);
        loaded.labels.frameBegin = symbols.at("frame_begin");
        loaded.labels.frameShown = symbols.at("frame_shown");
        loaded.labels.frameWaited = symbols.find("frame_waited").value_or(0);
        loaded.labels.data = symbols.at("player_data");
    }
    if (loaded.model->start != pack::ProgramStart::AsmCopy) {
        // Its player comes with the program; only the packer needs one, to pack a my.z80.
        if (!options.symbolsPath.empty()) {
            const auto built = pack::builtProgram(layout);
            loaded.calcProgram.assign(built.begin(), built.end());
        }
        return;
    }
    if (!options.programPath.empty()) {
        const std::vector<std::uint8_t> bytes = readBinary(options.programPath);
        const std::uint16_t data = loaded.labels.data;
        if (data < pack::kAsmProgramStart || data > pack::kAsmProgramStart + bytes.size()) {
            throw support::FileError(
                options.symbolsPath,
                "player_data " + hex4(data) + " does not lie in the player's bytes");
        }
        loaded.calcProgram.assign(bytes.begin(), bytes.begin() + (data - pack::kAsmProgramStart));
    }
}

// The sizes of the records of data that decode one after another on one screen, then the bytes
// after them in pieces of at most a record's greatest length: the player meets them as the
// calculator would and stops there.
std::vector<std::size_t> recordSizesOf(std::span<const std::uint8_t> data) {
    std::vector<std::size_t> sizes;
    std::size_t played = 0;
    try {
        TIFunctions::RecordDecoder decoder(data, player::ScreenSize{}.pixels());
        while (decoder.next()) {
            sizes.push_back(decoder.header().size);
            played += decoder.header().size;
        }
    } catch (const TIFunctions::RecordError&) {
    }
    for (std::size_t rest = data.size() - played; rest > 0;) {
        const std::size_t piece = std::min(rest, kMaxRecordBytes);
        sizes.push_back(piece);
        rest -= piece;
    }
    return sizes;
}

// The variables of a my.z80 as kelvonar-pack would write them for the model.
std::vector<pack::Variable> packDataFile(const std::string& path, const Loaded& loaded) {
    const std::vector<std::uint8_t> data = player::readDataFile(path);
    const std::vector<std::size_t> sizes = recordSizesOf(data);
    pack::PackRequest request;
    request.model = loaded.model->layout;
    request.name = pack::nameFromPath(path);
    request.comment = "kelvonar-emu";
    std::vector<pack::Variable> variables;
    try {
        std::vector<std::uint16_t> moved;
        if (request.model != pack::Model::Ti83Plus) {
            moved =
                pack::relocations(loaded.calcProgram, pack::builtProgramMoved(request.model, 0x100),
                                  pack::builtProgramMoved(request.model, 1));
        }
        for (const pack::OutputFile& file :
             pack::packVideo(request, loaded.calcProgram, data, sizes, moved)) {
            // A group repeats the variables of the single files.
            if (file.fileName.ends_with("g")) continue;
            for (pack::Variable& variable : pack::readCalcFile(file.bytes, path).variables)
                variables.push_back(std::move(variable));
        }
    } catch (const pack::PackError& error) {
        throw support::FileError(path, error.what());
    }
    return variables;
}

// Reads the files of options: calculator files as they are, or a my.z80 packed for the model.
Loaded loadFiles(const EmuOptions& options) {
    std::vector<pack::CalcFile> files;
    for (const std::string& path : options.files) {
        if (isCalculatorFile(path)) files.push_back(pack::readCalcFile(readBinary(path), path));
    }
    if (!files.empty() && files.size() != options.files.size()) {
        throw support::FileError(options.files[files.size() == 0 ? 0 : 1],
                                 "only calculator files go together, not with a my.z80");
    }
    if (files.empty() && options.files.size() > 1) {
        throw support::FileError(options.files[1],
                                 "only calculator files go together, not with a my.z80");
    }
    Loaded loaded;
    loaded.model = &chooseModel(options, files);
    chooseProgram(options, loaded);
    if (files.empty()) {
        loaded.variables = packDataFile(options.files.front(), loaded);
    } else {
        for (pack::CalcFile& file : files) {
            for (pack::Variable& variable : file.variables)
                loaded.variables.push_back(std::move(variable));
        }
    }
    return loaded;
}

// The emulated hardware of model.
MachineModel machineModel(const pack::CalculatorModel& model) {
    if (model.layout == pack::Model::Ti83) return MachineModel::Ti83;
    if (model.layout == pack::Model::Ti82) return MachineModel::Ti82;
    return model.speedPort ? MachineModel::Ti84Plus : MachineModel::Ti83Plus;
}

// The frames with their times in T-states at 6 MHz of real time, the unit of the budget, whatever
// clock the CPU ran at.
std::vector<FrameTiming> inRealTime(const std::vector<FrameTiming>& frames) {
    std::vector<FrameTiming> real = frames;
    for (FrameTiming& frame : real) {
        frame.begin = frame.realBegin / kRealPerSlowTState;
        frame.shown = frame.realShown / kRealPerSlowTState;
        frame.waited = frame.realWaited / kRealPerSlowTState;
    }
    return real;
}

// The records a program holds behind their size word at offset at of its data. Throws
// support::FileError naming path when they do not lie there.
std::vector<std::uint8_t> recordsInProgram(const pack::Variable& program, std::size_t at,
                                           const std::string& path) {
    const auto& bytes = program.data;
    const std::size_t size = at + 2 <= bytes.size() ? (bytes[at] | bytes[at + 1] << 8) : 0;
    if (at + 2 + size > bytes.size()) {
        throw support::FileError(path, "the program " + program.name +
                                           " holds no records where its player's labels say");
    }
    return {bytes.begin() + static_cast<std::ptrdiff_t>(at + 2),
            bytes.begin() + static_cast<std::ptrdiff_t>(at + 2 + size)};
}

// What start() gives; a MachineError it throws is the fault of the file at path.
template <typename Start>
auto asFileFault(const std::string& path, const Start& start) -> decltype(start()) {
    try {
        return start();
    } catch (const MachineError& error) {
        throw support::FileError(path, error.what());
    }
}

// Lays the variables out in machine as the OS holds them and starts the program as the OS does;
// returns the records the program will play, in order, and sets labelBase to where the player's
// labels lie from their linked addresses.
std::vector<std::uint8_t> layOut(Machine& machine, const EmuOptions& options, const Loaded& loaded,
                                 std::uint16_t& labelBase,
                                 const std::function<void(const std::string&)>& fail) {
    const std::string& firstPath = options.files.front();
    std::vector<std::uint8_t> data;
    if (loaded.model->start == pack::ProgramStart::Send9) {
        const Send9Start start =
            asFileFault(firstPath, [&] { return startSend9(machine, loaded.variables); });
        labelBase = start.binary;
        const PlacedVariable& program =
            *std::find_if(start.placed.begin(), start.placed.end(), [](const PlacedVariable& p) {
                return p.variable.type == pack::kProgramType ||
                       p.variable.type == pack::kProtectedProgramType;
            });
        // The records lie behind their size word at player_data.
        const std::size_t at = start.binary - program.address + loaded.labels.data;
        return recordsInProgram(program.variable, at, firstPath);
    }
    if (loaded.model->start == pack::ProgramStart::Shell) {
        const ShellStart start =
            asFileFault(firstPath, [&] { return startShell(machine, loaded.variables); });
        labelBase = start.entry;
        // The records lie behind their size word at player_data.
        const PlacedVariable& program = start.placed.front();
        const std::size_t at = start.entryOffset + loaded.labels.data;
        return recordsInProgram(program.variable, at, firstPath);
    }

    // The program runs as Asm( starts it; its AppVars give the records.
    const std::vector<PlacedVariable> placed = asFileFault(firstPath, [&] {
        return installVariables(machine, loaded.variables,
                                {loaded.model->firstArchivePage, loaded.model->archivePages});
    });
    const std::size_t programLength = loaded.calcProgram.size();
    const std::vector<std::uint8_t> code = programCode(placed.front().variable);
    if (code.size() < programLength ||
        !std::equal(loaded.calcProgram.begin(), loaded.calcProgram.end(), code.begin())) {
        throw support::FileError(
            firstPath,
            "the program " + placed.front().variable.name + " holds another player than " +
                (options.programPath.empty() ? std::string("the one built into kelvonar-emu")
                                             : options.programPath) +
                ": give --player and --symbols of its build");
    }
    try {
        for (const std::string& name : pack::appVarTable(code, programLength)) {
            const auto found =
                std::find_if(placed.begin(), placed.end(), [&](const PlacedVariable& p) {
                    return p.variable.name == name && p.variable.type == pack::kAppVarType;
                });
            if (found == placed.end()) {
                fail("the program plays the AppVar " + name + ", which no file holds");
                continue;
            }
            data.insert(data.end(), found->variable.data.begin() + 2, found->variable.data.end());
        }
    } catch (const pack::PackError& error) {
        throw support::FileError(firstPath, error.what());
    }
    return data;
}

}  // namespace

int runEmu(const EmuOptions& options, std::ostream& out, std::ostream& err) {
    const std::string& firstPath = options.files.front();
    const Loaded loaded = loadFiles(options);
    for (const auto& output : {options.gifPath, options.cyclesPath, options.plotPath}) {
        if (output) support::checkWritable(*output);
    }

    const double timerHz = options.timerHz.value_or(pack::slowestTimer(*loaded.model));
    Machine machine(timerHz, 1, machineModel(*loaded.model));
    bool failed = false;
    const auto fail = [&](const std::string& message) {
        err << "kelvonar-emu: " << message << '\n';
        failed = true;
    };
    // The player's labels lie this far from their linked addresses (the TI-83 player is linked
    // at 0 and runs where its program lies).
    std::uint16_t labelBase = 0;
    const std::vector<std::uint8_t> data = layOut(machine, options, loaded, labelBase, fail);

    std::optional<std::string> decodeFault;
    const std::vector<std::uint8_t> records = recordCodeTypes(data, firstPath, decodeFault);
    const auto label = [&](std::uint16_t at) {
        return at == 0 ? std::uint16_t{0} : static_cast<std::uint16_t>(labelBase + at);
    };
    machine.setFrameLabels(label(loaded.labels.frameBegin), label(loaded.labels.frameShown),
                           label(loaded.labels.frameWaited));
    if (options.pressClearAt) machine.pressKeyAtFrame(kKeyClear, *options.pressClearAt);
    if (options.holdKey) machine.holdKey(*keyNamed(*options.holdKey));
    if (options.lcdGap) machine.setLcdGap(*options.lcdGap);
    if (options.powerDownTicks) machine.setPowerDownTicks(*options.powerDownTicks);

    FrameOutputs outputs(options, records.size());
    machine.onFrameShown(
        [&](const FrameTiming& frame) { outputs.frameShown(frame.frame, machine.lcdPicture()); });
    if (options.gifPath) {
        outputs.gifPicture(machine.lcdPicture());
        machine.onTick(kGifPeriod,
                       [&](std::uint64_t) { outputs.gifPicture(machine.lcdPicture()); });
    }
    // Time enough for every record that decodes and the one the player stops at.
    const RunResult result =
        machine.run(kLimitSpare + kLimitPerRecord * static_cast<std::uint64_t>(records.size() + 1));
    const std::vector<FrameTiming> frames = inRealTime(machine.frames());

    if (decodeFault) fail("the records do not decode: " + *decodeFault);
    if (!result.returned) fail("fault: " + result.fault);

    if (options.cyclesPath) writeCycles(*options.cyclesPath, frames, records);
    if (options.plotPath) writeCyclePlot(*options.plotPath, frames);
    outputs.finish();

    // The summary.
    out << "calculator: " << loaded.model->title << '\n';
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
        out << "T-states per frame (at 6 MHz, interrupts included): worst "
            << grouped(worst->used()) << " (frame " << worst->frame << "), mean "
            << grouped(total / frames.size()) << ", budget " << grouped(kFrameBudget)
            << (over > 0 ? ", " + std::to_string(over) + " frames over it" : std::string()) << '\n';
    }
    if (frames.size() >= 3) {
        // From the end of the first wait to the end of the last: the pace the player keeps, which
        // the time the first frame took to decode does not blur.
        const double seconds = static_cast<double>(frames.back().begin - frames[1].begin) /
                               static_cast<double>(kRealTimeHz / kRealPerSlowTState);
        char tempo[64];
        std::snprintf(tempo, sizeof tempo, "%.3f",
                      static_cast<double>(frames.size() - 2) / seconds);
        out << "tempo: " << tempo << " frames a second of real time\n";
    }
    out << "LCD gap violations: " << machine.lcd().gapViolations() << '\n';
    out << "interrupts taken: " << machine.interruptsTaken() << " at " << hzText(timerHz)
        << " Hz\n";
    const ExitCheck check = machine.exitCheck();
    out << "OS state restored: " << yesNo(result.returned && check.all()) << '\n';

    if (result.returned && !check.all())
        fail("the OS state is not restored: " + exitProblems(check));
    if (machine.lcd().gapViolations() > 0) {
        fail(std::to_string(machine.lcd().gapViolations()) + " LCD accesses came closer than " +
             std::to_string(machine.lcd().accessGap() / kRealPerSlowTState) +
             " T-states at 6 MHz, the first at " +
             std::to_string(machine.lcd().firstViolationAt() / kRealPerSlowTState) +
             " (real time in T-states at 6 MHz)");
    }
    if (result.returned && !options.pressClearAt && !decodeFault &&
        frames.size() != records.size()) {
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
