#include "playrun.hpp"

#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>

#include "atomicfile.hpp"
#include "canvascheck.hpp"
#include "exports.hpp"
#include "recordtable.hpp"

namespace player {

void refuseToOverwriteData(const PlayerOptions& options) {
    const std::pair<const char*, const std::optional<std::string>*> outputs[] = {
        {"--gif", &options.gifPath},
        {"--mp4", &options.mp4Path},
        {"--dump-bytes", &options.bytesPath}};
    for (const auto& [option, path] : outputs) {
        if (*path && support::wouldReplace(**path, options.file)) {
            throw support::UsageError(std::string(option) + " " + support::shownPath(**path) +
                                      " would overwrite the data file");
        }
    }
}

void writeBytesFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    support::writeFileAtomic(path, bytes);
}

int runOutputs(const PlayerOptions& options, const FrameRecords& records, std::ostream& out,
               std::ostream& err) {
    const PictureGeometry geometry{records.size(), options.scale};
    // Every output takes each frame as it is decoded, so that no more than a screen is held.
    std::optional<RecordTable> table;
    if (options.info) table.emplace(out);
    struct Export {
        std::string path;
        const char* what;
        std::unique_ptr<FrameSink> sink;
    };
    std::vector<Export> exports;
    if (options.framesFolder) {
        exports.push_back({*options.framesFolder, "PNG pictures",
                           openPngFrames(*options.framesFolder, geometry)});
    }
    if ((options.gifPath || options.mp4Path) && records.frames() == 0) {
        throw support::FileError(options.gifPath ? *options.gifPath : *options.mp4Path,
                                 "there are no frames to write");
    }
    if (options.gifPath)
        exports.push_back({*options.gifPath, "GIF frames", openGif(*options.gifPath, geometry)});
    if (options.mp4Path) {
        exports.push_back({*options.mp4Path, "video frames", openMp4(*options.mp4Path, geometry)});
    }
    std::optional<CanvasCheck> check;
    if (options.checkFolder) check.emplace(*options.checkFolder, records.frames(), records.size());

    TIFunctions::RecordDecoder decoder = records.decoder();
    while (decoder.next()) {
        if (table) table->add(decoder.header());
        for (Export& output : exports)
            output.sink->add(decoder.screen());
        if (check) check->add(decoder.screen());
    }
    if (table) table->finish();
    for (Export& output : exports) {
        output.sink->finish();
        err << "kelvonar-play: wrote " << support::shownPath(output.path) << ": "
            << records.frames() << ' ' << output.what << " of " << geometry.width() << " x "
            << geometry.height() << " pixels\n";
    }
    if (check) {
        const bool lossy = checkIsLossy(*options.checkFolder, options.lossy);
        out << describeCheck(check->report(), lossy);
        if (!check->report().passed(lossy)) return support::kExitFailed;
    }
    return support::kExitDone;
}

}  // namespace player
