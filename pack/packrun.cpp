#include "packrun.hpp"

#include <filesystem>
#include <memory>
#include <ostream>

#include "animation.hpp"
#include "arguments.hpp"
#include "atomicfile.hpp"
#include "datafile.hpp"
#include "models.hpp"
#include "names.hpp"
#include "players.hpp"

namespace pack {

namespace fs = std::filesystem;

PackOptions parsePackArguments(const std::vector<std::string>& arguments) {
    static constexpr support::Option kOptions[] = {{"--model", true},
                                                   {"--name", true},
                                                   {"--output", true},
                                                   {"--comment", true},
                                                   {"--archive", false}};
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
           "\n"
           "  --model ti83plus      TI-83 Plus, TI-84 Plus and their SE models (the default):\n"
           "                        NAME.8xp (run with Asm(prgmNAME)), the records in AppVars\n"
           "                        (.8xv) and NAME.8xg with all of them\n"
           "  --model ti84plus      the same files\n"
           "  --model ti83          TI-83 (ROM 1.x): NAME.83p, run with Send(9prgmNAME)\n"
           "  --name NAME           the program's name: up to 8 characters, A-Z and 0-9,\n"
           "                        starting with a letter (default: from DATA's file name)\n"
           "  --output DIR          the folder to write into (default: the current one)\n"
           "  --comment TEXT        the files' comment, up to 42 characters (default: the\n"
           "                        program's name and version)\n"
           "  --archive             put the AppVars in the archive even when they fit in RAM\n"
           "                        (beside two copies of the program in 24,000 bytes)\n"
           "  -h, --help            this text\n"
           "  --version             the version\n"
           "\n"
           "Exit status: 0 the files were written; 1 an unreadable or malformed data file,\n"
           "records that do not decode, data too large for the model or an unwritable folder\n"
           "(nothing is written then); 2 a usage error.\n";
}

void runPack(const PackOptions& options, std::ostream& out) {
    std::vector<std::uint8_t> data = player::readDataFile(options.dataPath);
    // The records are decoded one at a time: only their sizes are kept.
    const player::FrameRecords records(options.dataPath, std::move(data), player::ScreenSize{});
    std::vector<std::size_t> sizes;
    for (auto decoder = records.decoder(); decoder.next();)
        sizes.push_back(decoder.header().size);

    PackRequest request;
    request.model = options.model;
    request.name = options.name.value_or(nameFromPath(options.dataPath));
    request.comment = options.comment.value_or("kelvonar-pack " KELVONAR_VERSION);
    request.archive = options.archive;
    const auto player = builtPlayer(options.model);
    std::vector<OutputFile> packed;
    try {
        std::vector<std::uint16_t> moved;
        if (options.model == Model::Ti83 && !player.empty())
            moved = relocations(player, builtTi83PlayerMoved(0x100), builtTi83PlayerMoved(1));
        packed = packVideo(request, player, records.bytes(), sizes, moved);
        if (player.empty()) throw PackError("this build has no player for the model");
    } catch (const PackError& error) {
        throw support::FileError(options.dataPath, error.what());
    }

    std::error_code error;
    if (!fs::is_directory(options.outputFolder, error))
        throw support::FileError(options.outputFolder, error ? error.message() : "is not a folder");
    // Every file is written under a temporary name first; they replace their targets only when
    // all are complete.
    std::vector<std::unique_ptr<support::AtomicFile>> writers;
    std::vector<std::string> paths;
    for (const OutputFile& file : packed) {
        paths.push_back((fs::path(options.outputFolder) / file.fileName).string());
        writers.push_back(std::make_unique<support::AtomicFile>(paths.back()));
        writers.back()->write(
            std::string_view(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size()));
    }
    for (std::size_t k = 0; k < writers.size(); ++k) {
        try {
            writers[k]->commit();
        } catch (const support::FileError&) {
            for (std::size_t done = 0; done < k; ++done)
                fs::remove(paths[done], error);
            throw;
        }
    }
    for (const std::string& path : paths)
        out << path << '\n';
}

}  // namespace pack
