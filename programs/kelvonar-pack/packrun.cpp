#include "packrun.hpp"

#include <algorithm>
#include <filesystem>
#include <ostream>

#include "animation.hpp"
#include "arguments.hpp"
#include "atomicfile.hpp"
#include "calcprograms.hpp"
#include "datafile.hpp"
#include "framedecoder.hpp"
#include "models.hpp"
#include "names.hpp"

namespace pack {

namespace fs = std::filesystem;

namespace {

constexpr support::Option kOptions[] = {
    {"--model", "MODEL",
     "ti83plus: TI-83 Plus, TI-84 Plus and their SE models (the default): NAME.8xp (run with "
     "Asm(prgmNAME)), the records in AppVars (.8xv) and NAME.8xg with all of them\n"
     "ti84plus: the same files\n"
     "ti83: TI-83 (ROM 1.x): NAME.83p, run with Send(9prgmNAME)\n"
     "ti82: TI-82: NAME.82p, run from the menu of a shell installed on the calculator"},
    {"--name", "NAME",
     "the program's name: up to 8 characters, A-Z and 0-9, starting with a letter (default: from "
     "DATA's file name)"},
    {"--output", "DIR",
     "the folder to write into, created when missing (default: the current one); files of an "
     "earlier pack of NAME that this one does not write are removed"},
    {"--comment", "TEXT",
     "the files' comment, up to 42 characters (default: the program's name and version)"},
    {"--archive",
     {},
     "put the AppVars in the archive even when they fit in RAM (beside two copies of the program "
     "in 24,000 bytes)"}};

}  // namespace

PackOptions parsePackArguments(const std::vector<std::string>& arguments) {
    const support::Arguments parsed = support::parseArguments(arguments, kOptions, "a data file");
    PackOptions options;
    options.help = parsed.help();
    options.version = parsed.version();
    if (options.help || options.version) return options;

    const auto& files = parsed.operands();
    if (files.empty()) throw support::UsageError("no data file given");
    if (files.size() > 1) {
        throw support::UsageError("one data file at a time, not \"" + files[0] + "\" and \"" +
                                  files[1] + "\"");
    }
    options.dataPath = files.front();
    if (const auto model = parsed.value("--model")) {
        const CalculatorModel* row = findModel(*model);
        if (row == nullptr)
            throw support::UsageError("--model is " + modelNames() + ", not \"" + *model + "\"");
        options.model = row->layout;
    }
    options.name = parsed.value("--name");
    if (options.name) {
        const std::string problem = nameProblem(*options.name);
        if (!problem.empty()) throw support::UsageError("--name: " + problem);
    }
    options.outputFolder = parsed.value("--output").value_or(".");
    options.comment = parsed.value("--comment");
    options.archive = parsed.has("--archive");
    if (options.archive && options.model != Model::Ti83Plus)
        throw support::UsageError("--archive is for --model ti83plus");
    return options;
}

std::string packUsage() {
    return "Usage: kelvonar-pack [OPTIONS] DATA\n"
           "Turns DATA (a my.z80 file) into calculator files with the player, ready to send\n"
           "with a link cable, and prints the path of each file written.\n"
           "\n" +
           support::programOptionHelp(kOptions, "the data file") +
           "\n"
           "Exit status: 0 the files were written; 1 an unreadable, malformed or empty data\n"
           "file, records that do not decode as 96 x 64 frames, data too large for the model\n"
           "or an unwritable folder (nothing changes then); 2 a usage error.\n";
}

namespace {

// The sizes of the records in data, checked to decode as the calculators' 96 x 64 frames. Throws
// support::FileError naming path.
std::vector<std::size_t> recordSizes(const std::string& path,
                                     const std::vector<std::uint8_t>& data) {
    const player::ScreenSize screen;
    std::vector<std::size_t> sizes;
    try {
        for (TIFunctions::RecordDecoder decoder(data, screen.pixels()); decoder.next();)
            sizes.push_back(decoder.header().size);
    } catch (const TIFunctions::RecordError& error) {
        const std::string size =
            std::to_string(screen.width) + " x " + std::to_string(screen.height);
        throw support::FileError(
            path, "the records do not decode as " + size + " frames: " + error.what() +
                      "; calculators show " + size + ": convert with --canvas-size " +
                      std::to_string(screen.width) + "x" + std::to_string(screen.height));
    }
    if (sizes.empty()) throw support::FileError(path, "no records");
    return sizes;
}

// Creates folder and its missing parents; returns those created, the deepest first. Throws
// support::FileError.
std::vector<fs::path> createFolder(const std::string& folder) {
    std::vector<fs::path> created;
    std::error_code error;
    for (fs::path path = fs::absolute(folder, error).lexically_normal();
         !error && !path.empty() && !fs::exists(path, error); path = path.parent_path()) {
        created.push_back(path);
        if (path == path.parent_path()) break;
    }
    if (created.empty()) {
        if (!fs::is_directory(folder, error)) throw support::FileError(folder, "is not a folder");
        return created;
    }
    fs::create_directories(folder, error);
    if (error) throw support::FileError(folder, "cannot create the folder: " + error.message());
    return created;
}

// The files in folder that an earlier pack of the same name and model wrote and this one does
// not, sorted.
std::vector<std::string> staleFiles(const std::string& folder, Model model, const std::string& name,
                                    const std::vector<OutputFile>& packed) {
    std::vector<std::string> stale;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string fileName = entry.path().filename().string();
        if (entry.is_directory(error) || !packedFileName(model, name, fileName)) continue;
        if (std::none_of(packed.begin(), packed.end(),
                         [&](const OutputFile& file) { return file.fileName == fileName; }))
            stale.push_back(entry.path().string());
    }
    std::sort(stale.begin(), stale.end());
    return stale;
}

// The shell's menu line of a video: its name and its length at the records' frame rate.
std::string videoDescription(const std::string& name, std::size_t frames) {
    const std::size_t tenths =
        (frames * 10 + player::kFramesPerSecond / 2) / player::kFramesPerSecond;
    return name + " " + std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + "s";
}

}  // namespace

void runPack(const PackOptions& options, std::ostream& out, std::ostream& err,
             const std::function<void(const std::string&)>& beforeEachChange) {
    const std::vector<std::uint8_t> data = player::readDataFile(options.dataPath);
    const std::vector<std::size_t> sizes = recordSizes(options.dataPath, data);

    PackRequest request;
    request.model = options.model;
    request.name = options.name.value_or(nameFromPath(options.dataPath));
    request.comment = options.comment.value_or("kelvonar-pack " KELVONAR_VERSION);
    request.archive = options.archive;
    request.description = videoDescription(request.name, sizes.size());
    const auto calcProgram = builtProgram(options.model);
    std::vector<OutputFile> packed;
    try {
        std::vector<std::uint16_t> moved;
        if (options.model != Model::Ti83Plus && !calcProgram.empty()) {
            moved = relocations(calcProgram, builtProgramMoved(options.model, 0x100),
                                builtProgramMoved(options.model, 1));
        }
        packed = packVideo(request, calcProgram, data, sizes, moved);
        if (calcProgram.empty()) throw PackError("this build has no player for the model");
    } catch (const PackError& error) {
        throw support::FileError(options.dataPath, error.what());
    }

    const std::vector<fs::path> created = createFolder(options.outputFolder);
    std::vector<std::string> paths;
    std::vector<std::string> stale;
    try {
        // The new files replace the older ones, and the files of an earlier, longer pack go, in
        // one step: all of it, or nothing.
        support::AtomicFileSet files;
        for (const OutputFile& file : packed) {
            paths.push_back((fs::path(options.outputFolder) / file.fileName).string());
            files.add(paths.back())
                .write(std::string_view(reinterpret_cast<const char*>(file.bytes.data()),
                                        file.bytes.size()));
        }
        stale = staleFiles(options.outputFolder, request.model, request.name, packed);
        for (const std::string& path : stale)
            files.remove(path);
        files.commit(beforeEachChange);
    } catch (const support::FileError&) {
        std::error_code ignored;
        for (const fs::path& folder : created)
            fs::remove(folder, ignored);
        throw;
    }
    for (const std::string& path : paths)
        out << path << '\n';
    for (const std::string& path : stale)
        err << "kelvonar-pack: removed " << support::shownPath(path)
            << ", left by an earlier pack of " << request.name << '\n';
}

}  // namespace pack
