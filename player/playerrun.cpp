#include "playerrun.hpp"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>

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
            throw UsageError(std::string(option) + " " + **path + " would overwrite the data file");
        }
    }
}

void writeBytesFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) throw ExportError(path, std::strerror(errno));
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) throw ExportError(path, "the bytes could not all be written");
}

int runOutputs(const PlayerOptions& options, const Animation& animation, std::ostream& out,
               std::ostream& err) {
    const PictureGeometry geometry{animation.size, options.scale};
    const auto screens = animation.screens();
    const auto note = [&](const std::string& path, const char* what) {
        err << "kelvonar-play: wrote " << path << ": " << screens.size() << ' ' << what << " of "
            << geometry.width() << " x " << geometry.height() << " pixels\n";
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
        if (!report.passed(options.lossy)) return kExitFailed;
    }
    return kExitDone;
}

}  // namespace player
