#include "playerrun.hpp"

#include <filesystem>
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
        std::error_code error;
        if (*path && std::filesystem::equivalent(options.file, **path, error)) {
            throw support::UsageError(std::string(option) + " " + **path +
                                      " would overwrite the data file");
        }
    }
}

void writeBytesFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    support::writeFileAtomic(path, bytes);
}

int runOutputs(const PlayerOptions& options, const Animation& animation, std::ostream& out,
               std::ostream& err) {
    const PictureGeometry geometry{animation.size, options.scale};
    const auto screens = animation.screens();
    const auto note = [&](const std::string& path, const char* what) {
        err << "kelvonar-play: wrote " << support::shownPath(path) << ": " << screens.size() << ' '
            << what << " of " << geometry.width() << " x " << geometry.height() << " pixels\n";
    };
    if (options.info) out << recordTable(animation.records);
    if (options.framesFolder) {
        writePngFrames(*options.framesFolder, screens, geometry);
        note(*options.framesFolder, "PNG pictures");
    }
    if (options.gifPath) {
        writeGif(*options.gifPath, screens, geometry);
        note(*options.gifPath, "GIF frames");
    }
    if (options.mp4Path) {
        writeMp4(*options.mp4Path, screens, geometry);
        note(*options.mp4Path, "video frames");
    }
    if (options.checkFolder) {
        const CheckReport report = checkCanvases(animation, *options.checkFolder);
        out << describeCheck(report, options.lossy);
        if (!report.passed(options.lossy)) return support::kExitFailed;
    }
    return support::kExitDone;
}

}  // namespace player
