// The GIF, MP4 and PNG exports, read back with FFmpeg and Qt.

#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "exports.hpp"
#include "screenimage.hpp"
#include "tempdir.hpp"
#include "videoreader.hpp"

namespace fs = std::filesystem;
using player::kDarkColour;
using player::kLightColour;
using player::PictureGeometry;
using player::Rgb;
using TIFunctions::BitString;

namespace {

// Blank; the left half dark; a checkerboard of single pixels; all dark but one corner pixel.
std::vector<BitString> knownScreens(int width, int height) {
    const auto pixels = static_cast<std::size_t>(width * height);
    std::vector<BitString> screens(4, BitString::filled(pixels, false));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto i = static_cast<std::size_t>(y * width + x);
            screens[1].setBit(i, x < width / 2);
            screens[2].setBit(i, (x + y) % 2 == 1);
            screens[3].setBit(i, i != 0);
        }
    }
    return screens;
}

bool darkAt(const BitString& screen, const PictureGeometry& geometry, int x, int y) {
    const int column = x / geometry.scale;
    const int row = y / geometry.scale;
    if (column >= geometry.screen.width || row >= geometry.screen.height) return false;
    return screen.bit(static_cast<std::size_t>(row * geometry.screen.width + column));
}

int distance(const Rgb& a, const Rgb& b) {
    return std::max(
        {std::abs(a.red - b.red), std::abs(a.green - b.green), std::abs(a.blue - b.blue)});
}

// Feeds screens to sink and finishes it, as the programs do.
void writeAll(const std::unique_ptr<player::FrameSink>& sink,
              const std::vector<BitString>& screens) {
    for (const BitString& screen : screens)
        sink->add(screen);
    sink->finish();
}

class Exports : public testing::Test {
  protected:
    void SetUp() override { player::quietMediaLog(); }

    std::string path(const std::string& name) const { return (m_folder / name).string(); }
    // Names in the folder, hidden ones included.
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    testsupport::TempDir m_dir;
    const fs::path& m_folder = m_dir.path();
};

}  // namespace

TEST_F(Exports, GifHoldsEveryFramePixelForPixelAtTenFramesASecond) {
    for (const PictureGeometry geometry :
         {PictureGeometry{{96, 64}, 4}, PictureGeometry{{96, 64}, 1},
          PictureGeometry{{13, 7}, 3}}) {
        SCOPED_TRACE(std::to_string(geometry.screen.width) + " x " +
                     std::to_string(geometry.screen.height) + " at scale " +
                     std::to_string(geometry.scale));
        const auto screens = knownScreens(geometry.screen.width, geometry.screen.height);
        writeAll(player::openGif(path("a.gif"), geometry), screens);
        const testvideo::Video video = testvideo::readVideo(path("a.gif"));
        EXPECT_EQ(video.codec, "gif");
        EXPECT_DOUBLE_EQ(video.framesPerSecond, 10.0);
        ASSERT_EQ(video.frames.size(), screens.size());
        for (std::size_t k = 0; k < screens.size(); ++k) {
            const testvideo::Picture& picture = video.frames[k];
            ASSERT_EQ(picture.width, geometry.width());
            ASSERT_EQ(picture.height, geometry.height());
            for (int y = 0; y < picture.height; ++y) {
                for (int x = 0; x < picture.width; ++x) {
                    const Rgb expected =
                        darkAt(screens[k], geometry, x, y) ? kDarkColour : kLightColour;
                    ASSERT_EQ(picture.at(x, y), expected)
                        << "frame " << k << " at " << x << ", " << y;
                }
            }
        }
    }
    EXPECT_EQ(files(), std::vector<std::string>{"a.gif"});
}

TEST_F(Exports, Mp4HoldsEveryFrameInItsColours) {
    for (const PictureGeometry geometry :
         {PictureGeometry{{96, 64}, 4}, PictureGeometry{{13, 7}, 1}}) {
        const auto screens = knownScreens(geometry.screen.width, geometry.screen.height);
        writeAll(player::openMp4(path("a.mp4"), geometry), screens);
        const testvideo::Video video = testvideo::readVideo(path("a.mp4"));
        EXPECT_DOUBLE_EQ(video.framesPerSecond, 10.0);
        ASSERT_EQ(video.frames.size(), screens.size());
        // Odd sides get one light column or row more.
        const int width = geometry.width() + geometry.width() % 2;
        const int height = geometry.height() + geometry.height() % 2;
        for (std::size_t k = 0; k < screens.size(); ++k) {
            const testvideo::Picture& picture = video.frames[k];
            ASSERT_EQ(picture.width, width);
            ASSERT_EQ(picture.height, height);
            if (geometry.scale == 1) continue;  // single pixels do not survive the compression
            // The middle of each screen pixel, well inside the video's colour blocks.
            for (int y = 1; y < height; y += geometry.scale) {
                for (int x = 1; x < width; x += geometry.scale) {
                    const Rgb expected =
                        darkAt(screens[k], geometry, x, y) ? kDarkColour : kLightColour;
                    ASSERT_LE(distance(picture.at(x, y), expected), 40)
                        << "frame " << k << " at " << x << ", " << y;
                }
            }
        }
    }
}

TEST_F(Exports, PngFramesAreNamedByFrameNumber) {
    const PictureGeometry geometry{{96, 64}, 2};
    const auto screens = knownScreens(96, 64);
    writeAll(player::openPngFrames(path("new/frames"), geometry), screens);
    for (std::size_t k = 0; k < screens.size(); ++k) {
        const QImage image(
            QString::fromStdString(path("new/frames/0000000" + std::to_string(k) + ".png")));
        ASSERT_FALSE(image.isNull()) << k;
        ASSERT_EQ(image.width(), 192);
        ASSERT_EQ(image.height(), 128);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const Rgb expected =
                    darkAt(screens[k], geometry, x, y) ? kDarkColour : kLightColour;
                const QRgb pixel = image.pixel(x, y);
                ASSERT_EQ((Rgb{static_cast<std::uint8_t>(qRed(pixel)),
                               static_cast<std::uint8_t>(qGreen(pixel)),
                               static_cast<std::uint8_t>(qBlue(pixel))}),
                          expected)
                    << "frame " << k << " at " << x << ", " << y;
            }
        }
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(path("new/frames")), fs::directory_iterator()),
              4);
}

TEST_F(Exports, ReplaceAnOlderFileOnlyWhenComplete) {
    std::ofstream(path("a.gif")) << "older";
    const auto screens = knownScreens(96, 64);
    writeAll(player::openGif(path("a.gif"), {{96, 64}, 1}), screens);
    EXPECT_EQ(testvideo::readVideo(path("a.gif")).frames.size(), 4U);
    EXPECT_THROW(writeAll(player::openGif(path("b.gif"), {{96, 64}, 1}), {}), support::FileError);
    EXPECT_THROW(writeAll(player::openMp4(path("b.mp4"), {{96, 64}, 1}), {}), support::FileError);
    EXPECT_EQ(files(), std::vector<std::string>{"a.gif"});
}

TEST_F(Exports, NameThePathTheyCannotWrite) {
    const auto screens = knownScreens(96, 64);
    try {
        writeAll(player::openGif(path("none/a.gif"), {{96, 64}, 1}), screens);
        FAIL() << "written";
    } catch (const support::FileError& error) {
        EXPECT_EQ(error.path(), path("none/a.gif"));
        EXPECT_NE(error.reason().find("No such file or directory"), std::string::npos);
    }
    std::ofstream(path("file")) << "a file where a folder should be";
    EXPECT_THROW(writeAll(player::openPngFrames(path("file"), {{96, 64}, 1}), screens),
                 support::FileError);
    EXPECT_THROW(writeAll(player::openMp4(path("file/a.mp4"), {{96, 64}, 1}), screens),
                 support::FileError);
}
