#include "imagefile.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <QString>
#include <filesystem>

#include "preview.hpp"
#include "tempdir.hpp"

namespace fs = std::filesystem;

namespace {

class SaveImageTest : public testing::Test {
  protected:
    std::string path(const std::string& name) const { return m_dir.file(name); }

    testsupport::TempDir m_dir;
};

capture::Picture checkerboard() {
    TIFunctions::BitString bits;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 96; ++x)
            bits.pushBit((x + y) % 2 == 0 || x == 95);
    }
    return capture::ShowCanvas(bits, 96, 64);
}

class SaveImageFormats : public SaveImageTest, public testing::WithParamInterface<const char*> {};

TEST_P(SaveImageFormats, ReadsBackPixelForPixel) {
    const capture::Picture picture = checkerboard();
    const std::string file = path(std::string("00000000.") + GetParam());
    capture::saveImage(picture, file);
    const QImage image(QString::fromStdString(file));
    ASSERT_FALSE(image.isNull());
    ASSERT_EQ(image.width(), 96);
    ASSERT_EQ(image.height(), 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 96; ++x) {
            const bool dark = (x + y) % 2 == 0 || x == 95;
            ASSERT_EQ(image.pixel(x, y), dark ? qRgb(0, 0, 0) : qRgb(255, 255, 255))
                << x << ", " << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Capture, SaveImageFormats, testing::Values("bmp", "png", "PNG"));

TEST_F(SaveImageTest, WritesBmpByDefault) {
    capture::saveImage(checkerboard(), path("frame.img"));
    std::FILE* file = std::fopen(path("frame.img").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    char magic[2] = {};
    EXPECT_EQ(std::fread(magic, 1, 2, file), 2U);
    std::fclose(file);
    EXPECT_EQ(std::string(magic, 2), "BM");
}

TEST_F(SaveImageTest, FailuresAreReported) {
    EXPECT_THROW(capture::saveImage(checkerboard(), path("missing/00000000.bmp")),
                 support::FileError);
    EXPECT_THROW(capture::saveImage(capture::Picture{}, path("empty.bmp")), support::FileError);
    capture::Picture shortPicture = checkerboard();
    shortPicture.rgb.resize(10);
    EXPECT_THROW(capture::saveImage(shortPicture, path("short.bmp")), support::FileError);
}

}  // namespace
