#include "mediaplayer.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "clipwriter.hpp"
#include "layout.hpp"
#include "process.hpp"
#include "rasteriser.hpp"
#include "surface.hpp"

using capture::MediaError;
using capture::MediaPlayer;
using capture::Picture;
using capturetest::ClipRecipe;
using capturetest::Matrix;
using capturetest::Rgb;

namespace fs = std::filesystem;

namespace {

class MediaFolder : public testing::Test {
  protected:
    static void SetUpTestSuite() { capture::quietMediaLog(); }
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "capture-media-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
    }
    void TearDown() override { fs::remove_all(m_folder); }

    std::string clip(const std::string& name, const ClipRecipe& recipe) const {
        const std::string path = (m_folder / name).string();
        capturetest::WriteClip(path, recipe);
        return path;
    }

    fs::path m_folder;
};

Rgb pixel(const Picture& p, int x, int y) {
    const std::uint8_t* px = p.rgb.data() + (static_cast<std::size_t>(y) * p.width + x) * 3;
    return {px[0], px[1], px[2]};
}

// The largest difference of any channel of any pixel from colour.
int worstError(const Picture& p, Rgb colour) {
    int worst = 0;
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            const Rgb c = pixel(p, x, y);
            worst = std::max({worst, std::abs(c.r - colour.r), std::abs(c.g - colour.g),
                              std::abs(c.b - colour.b)});
        }
    }
    return worst;
}

// The frame loop's own stepping: the first frame always, then while Length() >= k / 10.
int frameLoopCount(MediaPlayer& player) {
    int k = 0;
    while (k == 0 || player.Length() >= k / 10.0) {
        player.pictureAt(k / 10.0);
        ++k;
    }
    return k;
}

struct ColourCase {
    const char* encoder;
    const char* muxer;
    bool fullRange;
    int level;
    int tolerance;
};

void PrintTo(const ColourCase& c, std::ostream* os) {
    *os << c.encoder << (c.fullRange ? " full " : " limited ") << c.level;
}

class MediaColour : public MediaFolder, public testing::WithParamInterface<ColourCase> {};

TEST_P(MediaColour, GreyLevelsSurviveDecodingAndScaling) {
    const ColourCase& c = GetParam();
    ClipRecipe recipe;
    recipe.encoder = c.encoder;
    recipe.muxer = c.muxer;
    recipe.fullRange = c.fullRange;
    recipe.colour = [&](int) { return Rgb{c.level, c.level, c.level}; };
    const std::string path = clip("grey", recipe);
    for (const auto& [width, height] : {std::pair{94, 62}, std::pair{160, 120}}) {
        MediaPlayer player(path, width, height);
        const Picture& picture = player.pictureAt(0.1);
        ASSERT_EQ(picture.width, width);
        ASSERT_EQ(picture.height, height);
        EXPECT_LE(worstError(picture, Rgb{c.level, c.level, c.level}), c.tolerance);
    }
}

std::vector<ColourCase> colourCases() {
    std::vector<ColourCase> cases;
    for (const auto& [encoder, muxer] : {std::pair{"libx264", "mp4"}, {"mpeg4", "matroska"}}) {
        for (const bool full : {false, true}) {
            cases.push_back({encoder, muxer, full, 0, 2});
            cases.push_back({encoder, muxer, full, 255, 2});
            cases.push_back({encoder, muxer, full, 128, 3});
            // Black, white and mid grey survive a mistaken range; these do not.
            cases.push_back({encoder, muxer, full, 40, 3});
            cases.push_back({encoder, muxer, full, 220, 3});
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Capture, MediaColour, testing::ValuesIn(colourCases()));

struct MatrixCase {
    Matrix matrix;
    bool tagged;
    int width, height;
};

void PrintTo(const MatrixCase& c, std::ostream* os) {
    *os << (c.matrix == Matrix::bt709 ? "BT.709" : "BT.601")
        << (c.tagged ? " tagged " : " untagged ") << c.width << "x" << c.height;
}

class MediaMatrix : public MediaFolder, public testing::WithParamInterface<MatrixCase> {};

// A saturated colour tells the matrices apart; untagged streams are BT.601 below HD sizes and
// BT.709 from them on.
TEST_P(MediaMatrix, ColourComesOutUnderTheStreamsMatrix) {
    const MatrixCase& c = GetParam();
    const Rgb colour{200, 40, 60};
    ClipRecipe recipe;
    recipe.width = c.width;
    recipe.height = c.height;
    recipe.frames = 2;
    recipe.matrix = c.matrix;
    recipe.tagged = c.tagged;
    recipe.colour = [&](int) { return colour; };
    MediaPlayer player(clip("red", recipe), 94, 62);
    EXPECT_LE(worstError(player.pictureAt(0), colour), 3);
}

INSTANTIATE_TEST_SUITE_P(Capture, MediaMatrix,
                         testing::Values(MatrixCase{Matrix::bt601, true, 160, 120},
                                         MatrixCase{Matrix::bt709, true, 160, 120},
                                         MatrixCase{Matrix::bt601, false, 160, 120},
                                         MatrixCase{Matrix::bt709, false, 1280, 720}));

// Frame i of the clip is grey 20 i + 10, so a picture names its frame.
int shownFrame(const Picture& p) {
    const int level = pixel(p, p.width / 2, p.height / 2).r;
    return static_cast<int>(std::lround((level - 10) / 20.0));
}

ClipRecipe numberedFrames(int frames, int fps) {
    ClipRecipe recipe;
    recipe.frames = frames;
    recipe.fps = fps;
    recipe.colour = [](int i) { return Rgb{20 * i + 10, 20 * i + 10, 20 * i + 10}; };
    return recipe;
}

TEST_F(MediaFolder, ShowsTheLastFrameStartedByEachTime) {
    // Frames at 0, 0.04, 0.08, ... 0.36 s.
    MediaPlayer player(clip("numbered", numberedFrames(10, 25)), 32, 24);
    const std::vector<std::pair<double, int>> steps = {{0, 0},    {0.03, 0}, {0.04, 1}, {0.1, 2},
                                                       {0.12, 3}, {0.2, 5},  {0.2, 5},  {0.359, 8},
                                                       {0.36, 9}, {5, 9}};
    for (const auto& [t, frame] : steps)
        EXPECT_EQ(shownFrame(player.pictureAt(t)), frame) << t;
}

TEST_F(MediaFolder, FirstFrameStandsForTimesBeforeIt) {
    MediaPlayer player(clip("numbered", numberedFrames(3, 25)), 32, 24);
    EXPECT_EQ(shownFrame(player.pictureAt(-1)), 0);
    EXPECT_EQ(shownFrame(player.pictureAt(0)), 0);
}

struct LengthCase {
    const char* encoder;
    const char* muxer;
    int frames;
    int fps;
    long long tenths;
};

void PrintTo(const LengthCase& c, std::ostream* os) {
    *os << c.muxer << " " << c.frames << " at " << c.fps;
}

class MediaLength : public MediaFolder, public testing::WithParamInterface<LengthCase> {};

// A tenth lying exactly on the end of the last frame is not inside the video.
TEST_P(MediaLength, CountsTheTenthsBeforeTheEnd) {
    const LengthCase& c = GetParam();
    ClipRecipe recipe = numberedFrames(c.frames, c.fps);
    recipe.encoder = c.encoder;
    recipe.muxer = c.muxer;
    MediaPlayer player(clip("length", recipe), 32, 24);
    EXPECT_GE(player.Length(), static_cast<double>(c.tenths - 1) / 10.0);
    EXPECT_LT(player.Length(), static_cast<double>(c.tenths) / 10.0);
    EXPECT_EQ(frameLoopCount(player), c.tenths);
}

// The elementary MPEG-1 streams carry no timestamps at all: times come from the frame rate.
INSTANTIATE_TEST_SUITE_P(Capture, MediaLength,
                         testing::Values(LengthCase{"mpeg1video", "mpeg1video", 24, 30, 8},
                                         LengthCase{"mpeg1video", "mpeg1video", 25, 30, 9},
                                         LengthCase{"mpeg1video", "mpeg1video", 3, 30, 1},
                                         LengthCase{"mpeg4", "matroska", 10, 25, 4},
                                         LengthCase{"mpeg4", "matroska", 11, 25, 5},
                                         LengthCase{"mpeg4", "avi", 20, 25, 8},
                                         LengthCase{"libx264", "mp4", 24, 30, 8}));

TEST_F(MediaFolder, TimelessStreamTakesItsTimesFromTheFrameRate) {
    ClipRecipe recipe = numberedFrames(12, 30);
    recipe.encoder = "mpeg1video";
    recipe.muxer = "mpeg1video";
    MediaPlayer player(clip("timeless", recipe), 32, 24);
    EXPECT_EQ(shownFrame(player.pictureAt(0)), 0);
    EXPECT_EQ(shownFrame(player.pictureAt(0.1)), 3);
    EXPECT_EQ(shownFrame(player.pictureAt(0.2)), 6);
    EXPECT_EQ(shownFrame(player.pictureAt(0.3)), 9);
    EXPECT_EQ(shownFrame(player.pictureAt(10)), 11);  // the decoder's last frame is drained
}

// Frame i of a longer clip: red and green levels name it, up to 144 frames.
ClipRecipe countedFrames(int frames, int fps) {
    ClipRecipe recipe;
    recipe.frames = frames;
    recipe.fps = fps;
    recipe.colour = [](int i) { return Rgb{10 + 20 * (i % 12), 10 + 20 * (i / 12), 128}; };
    return recipe;
}

int countedFrame(const Picture& p) {
    const Rgb c = pixel(p, p.width / 2, p.height / 2);
    return static_cast<int>(std::lround((c.r - 10) / 20.0) + 12 * std::lround((c.g - 10) / 20.0));
}

struct SeekCase {
    const char* name;
    const char* encoder;
    const char* muxer;
    int gop;
    int bFrames;
};

void PrintTo(const SeekCase& c, std::ostream* os) {
    *os << c.name;
}

class MediaSeek : public MediaFolder, public testing::WithParamInterface<SeekCase> {};

// After a seek the player shows, from the seek time on, what a player decoding from the start
// shows: key frames after the time, frames before a key frame and B-frames must not leak in.
TEST_P(MediaSeek, ShowsWhatDecodingFromTheStartShows) {
    const SeekCase& c = GetParam();
    ClipRecipe recipe = countedFrames(110, 25);
    recipe.encoder = c.encoder;
    recipe.muxer = c.muxer;
    recipe.gop = c.gop;
    recipe.bFrames = c.bFrames;
    const std::string path = clip("seek", recipe);
    MediaPlayer forward(path, 32, 24);
    std::vector<int> shown;  // the frame decoding from the start shows at each hundredth
    for (int h = 0; h < 460; ++h)
        shown.push_back(countedFrame(forward.pictureAt(h / 100.0)));
    for (const int from : {120, 148, 200, 237, 350, 440}) {
        MediaPlayer player(path, 32, 24);
        player.seek(from / 100.0);
        for (int h = from; h < 460; h += 7) {
            ASSERT_EQ(countedFrame(player.pictureAt(h / 100.0)), shown[static_cast<std::size_t>(h)])
                << "from " << from << ", at " << h;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Capture, MediaSeek,
                         testing::Values(SeekCase{"Mp4", "mpeg4", "mp4", 12, 0},
                                         SeekCase{"Mp4BFrames", "mpeg4", "mp4", 12, 2},
                                         SeekCase{"Matroska", "mpeg4", "matroska", 25, 2},
                                         SeekCase{"Avi", "mpeg4", "avi", 12, 0},
                                         SeekCase{"OneKeyFrame", "mpeg4", "matroska", 1000, 0},
                                         SeekCase{"NoTimestamps", "mpeg1video", "mpeg1video", 12,
                                                  0}),
                         [](const auto& info) { return std::string(info.param.name); });

struct TurnCase {
    const char* name;
    std::int32_t a, b, c, d;  // display matrix elements 0, 1, 3, 4, in 1 / 65536
    const char* shown;        // quarters top left, top right, bottom left, bottom right: R G B W
    const char* turn;
};

void PrintTo(const TurnCase& c, std::ostream* os) {
    *os << c.name;
}

class MediaTurn : public MediaFolder, public testing::WithParamInterface<TurnCase> {};

Rgb quarterColour(char name) {
    switch (name) {
        case 'R':
            return {200, 40, 40};
        case 'G':
            return {40, 200, 40};
        case 'B':
            return {40, 40, 200};
        default:
            return {230, 230, 230};
    }
}

// A landscape picture of four coloured quarters, stored with a display matrix, comes out as
// FFmpeg's command-line tool shows it: the matrix (0, -1, 1, 0) is what its "rotate=90" stream
// metadata writes, and the tool turns such a stream counterclockwise (transpose=cclock).
TEST_P(MediaTurn, ShowsThePictureAsTheDisplayMatrixSays) {
    const TurnCase& c = GetParam();
    ClipRecipe recipe;
    recipe.encoder = "mpeg4";
    recipe.muxer = "mp4";
    recipe.width = 160;
    recipe.height = 96;
    recipe.frames = 2;
    recipe.pixel = [](int, int x, int y) {
        return quarterColour("RGBW"[(y >= 48) * 2 + (x >= 80)]);
    };
    recipe.displayMatrix = std::array<std::int32_t, 9>{c.a, c.b, 0, c.c, c.d, 0, 0, 0, 1 << 30};
    MediaPlayer player(clip("turned", recipe), 94, 62);
    EXPECT_EQ(player.turnName(), c.turn);
    // A quarter turn shows the picture upright: portrait.
    const bool quarter = c.a == 0 && c.d == 0;
    EXPECT_DOUBLE_EQ(player.shownAspect(), quarter ? 96.0 / 160 : 160.0 / 96);
    const Picture& picture = player.pictureAt(0);
    ASSERT_EQ(picture.width, 94);
    ASSERT_EQ(picture.height, 62);
    for (int i = 0; i < 4; ++i) {
        const Rgb got = pixel(picture, i % 2 == 0 ? 23 : 70, i < 2 ? 15 : 46);
        const Rgb want = quarterColour(c.shown[i]);
        EXPECT_LE(std::max({std::abs(got.r - want.r), std::abs(got.g - want.g),
                            std::abs(got.b - want.b)}),
                  12)
            << "quarter " << i;
    }
}

constexpr std::int32_t kOne = 1 << 16;

INSTANTIATE_TEST_SUITE_P(
    Capture, MediaTurn,
    testing::Values(TurnCase{"Upright", kOne, 0, 0, kOne, "RGBW", ""},
                    TurnCase{"Counterclockwise", 0, -kOne, kOne, 0, "GWRB",
                             "rotated by 90 degrees counterclockwise"},
                    TurnCase{"Clockwise", 0, kOne, -kOne, 0, "BRWG",
                             "rotated by 90 degrees clockwise"},
                    TurnCase{"HalfTurn", -kOne, 0, 0, -kOne, "WBGR", "rotated by 180 degrees"},
                    TurnCase{"FlipLeftRight", -kOne, 0, 0, kOne, "GRWB", "flipped left to right"},
                    TurnCase{"FlipUpsideDown", kOne, 0, 0, -kOne, "BWRG", "flipped upside down"},
                    TurnCase{"Transposed", 0, kOne, kOne, 0, "RBGW",
                             "mirrored about the diagonal from the top left"},
                    TurnCase{"AntiTransposed", 0, -kOne, -kOne, 0, "WGBR",
                             "mirrored about the diagonal from the top right"},
                    // Not a right angle: shown as stored.
                    TurnCase{"FortyFiveDegrees", 46341, -46341, 46341, 46341, "RGBW", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// The ffmpeg program on PATH, or "".
std::string ffmpegProgram() {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "";
    for (std::size_t start = 0; start <= folders.size();) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const fs::path candidate = fs::path(folders.substr(start, end - start)) / "ffmpeg";
        if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
        start = end + 1;
    }
    return "";
}

class MediaCliTurn : public MediaFolder, public testing::WithParamInterface<int> {};

// Against FFmpeg's command-line tool itself: a clip given a rotation by a stream copy, shown by
// that tool as it shows it by default (turned upright, then scaled), equals our picture.
TEST_P(MediaCliTurn, ShowsWhatFfmpegShows) {
    const std::string ffmpeg = ffmpegProgram();
    if (ffmpeg.empty()) GTEST_SKIP() << "no ffmpeg program";
    ClipRecipe recipe;
    recipe.encoder = "mpeg4";
    recipe.muxer = "mp4";
    recipe.width = 160;
    recipe.height = 96;
    recipe.frames = 2;
    recipe.pixel = [](int, int x, int y) {
        return Rgb{x < 80 ? 200 : 40, y < 48 ? 200 : 40, x / 2 + y};
    };
    const std::string upright = clip("upright.mp4", recipe);
    const std::string turned = (m_folder / "turned.mp4").string();
    const std::string angle = std::to_string(GetParam());
    // FFmpeg 5 sets the matrix from "rotate" metadata; later releases from -display_rotation,
    // which counts counterclockwise.
    const std::vector<std::vector<std::string>> ways = {
        {"-v", "error", "-y", "-i", upright, "-c", "copy", "-metadata:s:v", "rotate=" + angle,
         turned},
        {"-v", "error", "-y", "-display_rotation", std::to_string(360 - GetParam()), "-i", upright,
         "-c", "copy", turned}};
    bool made = false;
    for (const auto& way : ways) {
        if (testprocess::run(ffmpeg, way).status == 0 &&
            !MediaPlayer(turned, 8, 8).turnName().empty()) {
            made = true;
            break;
        }
    }
    ASSERT_TRUE(made) << "ffmpeg gave the clip no rotation";
    const std::string raw = (m_folder / "shown.rgb").string();
    const auto shown = testprocess::run(
        ffmpeg, {"-v", "error", "-y", "-i", turned, "-frames:v", "1", "-vf",
                 "scale=94:62:flags=area", "-pix_fmt", "rgb24", "-f", "rawvideo", raw});
    ASSERT_EQ(shown.status, 0) << shown.err;
    const std::string theirs = testprocess::slurp(raw);
    MediaPlayer player(turned, 94, 62);
    const Picture& ours = player.pictureAt(0);
    ASSERT_EQ(theirs.size(), ours.rgb.size());
    long difference = 0;
    for (std::size_t i = 0; i < theirs.size(); ++i)
        difference += std::abs(static_cast<std::uint8_t>(theirs[i]) - ours.rgb[i]);
    EXPECT_LT(static_cast<double>(difference) / static_cast<double>(theirs.size()), 4.0)
        << player.turnName();
}

INSTANTIATE_TEST_SUITE_P(Capture, MediaCliTurn, testing::Values(90, 180, 270));

// Pixels brighter or darker than both rows around them: the teeth of two fields taken apart in
// time and shown woven together.
int combPixels(const Picture& p) {
    int teeth = 0;
    for (int y = 1; y + 1 < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            const int above = pixel(p, x, y - 1).g, here = pixel(p, x, y).g,
                      below = pixel(p, x, y + 1).g;
            if ((here - above > 80 && here - below > 80) ||
                (above - here > 80 && below - here > 80))
                ++teeth;
        }
    }
    return teeth;
}

// A dark bar moving right on a light ground, filmed field by field: the bottom field (odd rows)
// sees it 8 pixels further on than the top field.
TEST_F(MediaFolder, InterlacedFramesAreDeinterlaced) {
    ClipRecipe recipe;
    recipe.encoder = "mpeg2video";
    recipe.muxer = "mpeg";
    recipe.interlaced = true;
    recipe.frames = 6;
    recipe.pixel = [](int frame, int x, int y) {
        const int left = 40 + frame * 16 + (y % 2) * 8;
        return x >= left && x < left + 24 ? Rgb{20, 20, 20} : Rgb{230, 230, 230};
    };
    const std::string path = clip("interlaced.mpg", recipe);
    for (const auto& [mode, combed] :
         {std::pair{capture::Deinterlace::Off, true}, std::pair{capture::Deinterlace::Auto, false},
          std::pair{capture::Deinterlace::On, false}}) {
        MediaPlayer player(path, 160, 120, {1, mode});
        const int teeth = combPixels(player.pictureAt(0.1));
        if (combed) {
            EXPECT_GT(teeth, 1000) << "the clip shows no teeth to remove";
        } else {
            EXPECT_LT(teeth, 20) << static_cast<int>(mode);
        }
    }
    // Progressive frames pass through auto as they are.
    recipe.interlaced = false;
    const std::string progressive = clip("progressive.mpg", recipe);
    MediaPlayer plain(progressive, 160, 120, {1, capture::Deinterlace::Off});
    MediaPlayer automatic(progressive, 160, 120, {1, capture::Deinterlace::Auto});
    EXPECT_EQ(plain.pictureAt(0.1).rgb, automatic.pictureAt(0.1).rgb);
}

TEST_F(MediaFolder, NoPictureWithoutASize) {
    MediaPlayer player(clip("sizeless", numberedFrames(5, 25)), 0, 62);
    EXPECT_TRUE(player.pictureAt(0).empty());
    EXPECT_GE(player.Length(), 0.1);
    EXPECT_LT(player.Length(), 0.2);
    EXPECT_DOUBLE_EQ(player.shownAspect(), 160.0 / 120);
}

TEST_F(MediaFolder, UnplayableFilesAreReportedWithTheirPath) {
    const std::string missing = (m_folder / "missing.mp4").string();
    const std::string text = (m_folder / "notes.txt").string();
    std::ofstream(text) << "not a video at all\n";
    // A RIFF WAVE file of 100 silent samples: a valid file without a video stream.
    const std::string sound = (m_folder / "sound.wav").string();
    {
        std::ofstream out(sound, std::ios::binary);
        const auto u32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
        const auto u16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
        out << "RIFF";
        u32(36 + 200);
        out << "WAVEfmt ";
        u32(16);
        u16(1);
        u16(1);
        u32(8000);
        u32(16000);
        u16(2);
        u16(16);
        out << "data";
        u32(200);
        out << std::string(200, '\0');
    }
    for (const std::string& path : {missing, text, sound}) {
        try {
            MediaPlayer player(path, 94, 62);
            ADD_FAILURE() << path << " opened";
        } catch (const MediaError& error) {
            EXPECT_EQ(error.path(), path);
            EXPECT_FALSE(error.reason().empty());
        }
    }
    try {
        MediaPlayer player(sound, 94, 62);
        FAIL() << sound << " opened";
    } catch (const MediaError& error) {
        EXPECT_EQ(error.reason(), "the file holds no video stream");
    }
}

// The whole capture path: a white picture of 94 x 62 on a 96 x 64 canvas leaves a one-pixel
// margin of the background colour, dark for WantWhite 0 and light for WantWhite 1.
TEST_F(MediaFolder, MarginFollowsWantWhite) {
    ClipRecipe recipe;
    recipe.colour = [](int) { return Rgb{255, 255, 255}; };
    const std::string path = clip("white", recipe);
    for (const double wantWhite : {0.0, 1.0}) {
        capture::Layout layout = capture::InitMediaPlayer(94, 62, 96, 64, wantWhite);
        capture::SetPreviewLayout(layout, true);
        MediaPlayer player(path, 94, 62);
        capture::UniformRandom random(1);
        const capture::Surface surface = capture::composeSurface(layout, &player.pictureAt(0));
        const TIFunctions::BitString canvas = capture::getCanvas(surface, 120, 40, 0, random);
        ASSERT_EQ(canvas.size(), 6144U);
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 96; ++x) {
                const bool margin = x == 0 || y == 0 || x == 95 || y == 63;
                ASSERT_EQ(canvas.bit(static_cast<std::size_t>(y * 96 + x)),
                          margin && wantWhite == 0)
                    << x << ", " << y << " WantWhite " << wantWhite;
            }
        }
    }
}

class MediaDitherRuns : public MediaFolder, public testing::WithParamInterface<double> {};

TEST_P(MediaDitherRuns, SameSeedGivesTheSameCanvases) {
    const std::string path = clip("grey", numberedFrames(10, 25));
    const auto run = [&](std::uint64_t seed) {
        const capture::Layout layout = capture::InitMediaPlayer(94, 62, 96, 64, 0);
        MediaPlayer player(path, 94, 62);
        capture::UniformRandom random(seed);
        std::vector<TIFunctions::BitString> canvases;
        for (int k = 0; k == 0 || player.Length() >= k / 10.0; ++k) {
            const capture::Surface s = capture::composeSurface(layout, &player.pictureAt(k / 10.0));
            canvases.push_back(capture::getCanvas(s, 120, 100, GetParam(), random));
        }
        return canvases;
    };
    const auto first = run(77);
    EXPECT_EQ(first.size(), 4U);
    EXPECT_EQ(run(77), first);
    EXPECT_NE(run(78), first);
}

INSTANTIATE_TEST_SUITE_P(Capture, MediaDitherRuns, testing::Values(1.0, 2.0, 3.0));

struct ShippedClip {
    const char* file;
    long long tenths;
    int width, height;
};

void PrintTo(const ShippedClip& c, std::ostream* os) {
    *os << c.file;
}

class ShippedClips : public testing::TestWithParam<ShippedClip> {
  protected:
    static void SetUpTestSuite() { capture::quietMediaLog(); }
};

// Lengths from the streams themselves: frame count over frame rate, or the last timestamp plus
// one frame; the headers of the two MPEG-1 streams say nothing or too little.
TEST_P(ShippedClips, OpensAndYieldsOneCanvasPerTenth) {
    const fs::path folder = fs::path(KELVONAR_TESTDATA_DIR) / "video";
    if (!fs::is_directory(folder)) GTEST_SKIP() << "no test media in " << folder;
    const ShippedClip& c = GetParam();
    MediaPlayer player((folder / c.file).string(), 94, 62);
    EXPECT_NEAR(player.shownAspect(), static_cast<double>(c.width) / c.height, 0.01);
    EXPECT_EQ(frameLoopCount(player), c.tenths);
    const Picture& last = player.pictureAt(1e9);
    EXPECT_EQ(last.width, 94);
    EXPECT_EQ(last.height, 62);
    EXPECT_EQ(last.rgb.size(), 94U * 62U * 3U);
}

INSTANTIATE_TEST_SUITE_P(Capture, ShippedClips,
                         testing::Values(ShippedClip{"realshort.mp4", 12, 320, 240},  // 1.1992 s
                                         ShippedClip{"DualDiscs.mov", 26, 640, 465},  // 2.545 s
                                         ShippedClip{"Effet_force_magnetique.ogv", 14, 400,
                                                     304},                             // 34 at 25
                                         ShippedClip{"g1.avi", 7, 400, 300},           // 16 at 25
                                         ShippedClip{"balle1-vp9.avi", 17, 320, 240},  // 1.60128 s
                                         ShippedClip{"blue.mpg", 8, 320, 240},         // 24 at 30
                                         ShippedClip{"press.mpg", 200, 80, 60}),       // 500 at 25
                         [](const testing::TestParamInfo<ShippedClip>& info) {
                             std::string name = info.param.file;
                             for (char& ch : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             }
                             return name;
                         });

}  // namespace
