// The PNG export, written with Qt's image classes.

#include <filesystem>
#include <system_error>

#include "exports.hpp"
#include "qimagefile.hpp"
#include "screenimage.hpp"
#include "tifunctions.hpp"

namespace player {

void writePngFrames(const std::string& folder, std::span<const TIFunctions::BitString> screens,
                    const PictureGeometry& geometry) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) throw support::FileError(folder, error.message());
    if (!fs::is_directory(folder, error)) throw support::FileError(folder, "not a folder");
    for (std::size_t k = 0; k < screens.size(); ++k) {
        const std::string path =
            (fs::path(folder) / (TIFunctions::ToDecimal8(k) + ".png")).string();
        capture::SaveQImage(screenImage(screens[k], geometry), path, "png");
    }
}

}  // namespace player
