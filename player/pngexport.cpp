// The PNG export, written with Qt's image classes.

#include <QFile>
#include <QImageWriter>
#include <filesystem>
#include <system_error>

#include "exports.hpp"
#include "screenimage.hpp"
#include "tifunctions.hpp"

namespace player {

void writePngFrames(const std::string& folder, std::span<const TIFunctions::BitString> screens,
                    const PictureGeometry& geometry) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) throw ExportError(folder, error.message());
    if (!fs::is_directory(folder, error)) throw ExportError(folder, "not a folder");
    for (std::size_t k = 0; k < screens.size(); ++k) {
        const std::string path =
            (fs::path(folder) / (TIFunctions::ToDecimal8(k) + ".png")).string();
        QImageWriter writer(QFile::decodeName(path.c_str()), "png");
        if (!writer.write(screenImage(screens[k], geometry)))
            throw ExportError(path, writer.errorString().toStdString());
    }
}

}  // namespace player
