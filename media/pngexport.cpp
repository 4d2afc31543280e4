// The PNG export, written with Qt's image classes.

#include <filesystem>

#include "exports.hpp"
#include "qimagefile.hpp"
#include "screenimage.hpp"
#include "tifunctions.hpp"

namespace player {

namespace {

class PngFramesWriter : public FrameSink {
  public:
    PngFramesWriter(const std::string& folder, const PictureGeometry& geometry)
        : m_folder(folder), m_geometry(geometry) {
        namespace fs = std::filesystem;
        std::error_code error;
        fs::create_directories(folder, error);
        if (error) throw support::FileError(folder, error.message());
        if (!fs::is_directory(folder, error)) throw support::FileError(folder, "not a folder");
    }

    void add(const TIFunctions::BitString& screen) override {
        const std::string path =
            (std::filesystem::path(m_folder) / (TIFunctions::ToDecimal8(m_frames++) + ".png"))
                .string();
        capture::saveQImage(screenImage(screen, m_geometry), path, "png");
    }
    void finish() override {}

  private:
    std::string m_folder;
    PictureGeometry m_geometry;
    std::size_t m_frames = 0;
};

}  // namespace

std::unique_ptr<FrameSink> openPngFrames(const std::string& folder,
                                         const PictureGeometry& geometry) {
    return std::make_unique<PngFramesWriter>(folder, geometry);
}

}  // namespace player
