// kelvonar-play run as users run it, on hand-written files and on conversions of the sample and
// of the test clips.

#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "conversions.hpp"
#include "process.hpp"

namespace fs = std::filesystem;

namespace {

const std::string kPlay = KELVONAR_PLAY_EXECUTABLE;
const std::string kKelvonar = KELVONAR_EXECUTABLE;

// A blank key frame of code type 3, then a difference frame of type 3 that darkens pixel 0.
const std::string kTwoFrames =
    " .db %00000011, %00111111, %00000000, %10000011, %11000000, "
    "%00000000\r\n";

// Sets an environment variable, or removes it, for the life of the object.
class EnvironmentValue {
  public:
    EnvironmentValue(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    EnvironmentValue(const EnvironmentValue&) = delete;
    EnvironmentValue& operator=(const EnvironmentValue&) = delete;
    ~EnvironmentValue() {
        if (m_old) {
            ::setenv(m_name, m_old->c_str(), 1);
        } else {
            ::unsetenv(m_name);
        }
    }

  private:
    const char* m_name;
    std::optional<std::string> m_old;
};

class PlayProgram : public testing::Test {
  protected:
    void SetUp() override {
        m_folder = fs::temp_directory_path() /
                   ("kelvonar-play-" + std::to_string(::getpid()) + "-" +
                    testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
        write(data(), kTwoFrames);
    }
    void TearDown() override { fs::remove_all(m_folder); }

    std::string path(const std::string& name) const { return (m_folder / name).string(); }
    std::string data() const { return path("my.z80"); }
    static void write(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }

    fs::path m_folder;
};

}  // namespace

TEST_F(PlayProgram, HelpAndVersion) {
    const auto help = testprocess::run(kPlay, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: kelvonar-play [OPTIONS] [--] FILE\n", 0), 0U);
    for (const char* option : {"--width", "--height", "--info", "--gif", "--mp4", "--frames",
                               "--scale", "--check", "--lossy", "--dump-bytes"}) {
        EXPECT_NE(help.out.find(std::string("  ") + option + " "), std::string::npos) << option;
    }
    const auto version = testprocess::run(kPlay, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("kelvonar-play ", 0), 0U);
}

TEST_F(PlayProgram, WithoutADisplaySaysSoAndFails) {
    const EnvironmentValue display("DISPLAY", nullptr);
    const EnvironmentValue wayland("WAYLAND_DISPLAY", nullptr);
    const EnvironmentValue platform("QT_QPA_PLATFORM", nullptr);
    const auto result = testprocess::run(kPlay, {data()});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("2 frames decoded, but there is no display"), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("--gif"), std::string::npos);
}

TEST_F(PlayProgram, GrabsItsWindowOnTheOffscreenPlatform) {
    const EnvironmentValue platform("QT_QPA_PLATFORM", "offscreen");
    const auto result = testprocess::run(kPlay, {data(), "--start", "1", "--grab", path("w.png")});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string png = testprocess::slurp(path("w.png"));
    ASSERT_GT(png.size(), 24U);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    // The window is at least as large as the screen at the default scale, 384 x 256.
    const auto word = [&](std::size_t at) {
        return static_cast<unsigned char>(png[at]) << 24 |
               static_cast<unsigned char>(png[at + 1]) << 16 |
               static_cast<unsigned char>(png[at + 2]) << 8 |
               static_cast<unsigned char>(png[at + 3]);
    };
    EXPECT_GE(word(16), 384);
    EXPECT_GE(word(20), 256);
}

TEST_F(PlayProgram, PointsAtTheLineAndColumnOfAMalformedFile) {
    write(data(), " .db %00000011, %00111111\r\n .db 00000000\r\n");
    const auto result = testprocess::run(kPlay, {data(), "--info"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "kelvonar-play: " + data() +
                              ":2:6: expected '%' before the binary digits, found '0'\n");
    EXPECT_EQ(result.out, "");
}

TEST_F(PlayProgram, NamesTheRecordThatDoesNotDecodeButDumpsTheBytes) {
    write(data(), " .db %00000011, %00111111, %00000000, %00001001\r\n");
    const auto result = testprocess::run(kPlay, {data(), "--dump-bytes", path("my.bin")});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find(data() + ": record 1 (header at byte 3): unknown code type 9"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(testprocess::slurp(path("my.bin")), std::string("\x03\x3F\x00\x09", 4));
}

TEST_F(PlayProgram, RefusesToWriteOverTheDataFile) {
    for (const char* option : {"--gif", "--mp4", "--dump-bytes"}) {
        const auto result = testprocess::run(kPlay, {data(), option, data()});
        EXPECT_EQ(result.status, 2) << option;
        EXPECT_NE(result.err.find("would overwrite the data file"), std::string::npos);
    }
    EXPECT_EQ(testprocess::slurp(data()), kTwoFrames);
}

TEST_F(PlayProgram, ReportsAFailedCheckInItsStatus) {
    fs::create_directories(path("canvases"));
    // Frame 0 blank, as decoded; frame 1 blank too, where the file darkens pixel 0.
    const std::string blank = "P4\n96 64\n" + std::string(768, '\0');
    write(path("canvases/00000000.pbm"), blank);
    write(path("canvases/00000001.pbm"), blank);
    auto result = testprocess::run(kPlay, {data(), "--check", path("canvases")});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find("first difference: frame 1"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("the first at x 0, y 0"), std::string::npos) << result.out;
    result = testprocess::run(kPlay, {data(), "--check", path("canvases"), "--lossy"});
    EXPECT_EQ(result.status, 0) << result.out;
}

namespace {

class ConversionRoundTrip
    : public testing::TestWithParam<std::tuple<const char*, testconversions::Job>> {
  protected:
    void SetUp() override {
        m_folder =
            fs::temp_directory_path() / ("kelvonar-play-clip-" + std::to_string(::getpid()) + "-" +
                                         std::to_string(reinterpret_cast<std::uintptr_t>(this)));
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
    }
    void TearDown() override { fs::remove_all(m_folder); }

    fs::path m_folder;
};

// The lines of text from the one that starts with first, up to the next empty line or the end.
std::string linesFrom(const std::string& text, const std::string& first, std::size_t count) {
    std::size_t at = text.find(first);
    if (at == std::string::npos) return "";
    std::size_t end = at;
    for (std::size_t i = 0; i < count && end != std::string::npos; ++i)
        end = text.find('\n', end + 1);
    return text.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

}  // namespace

// A conversion decodes to the canvases it was made from; the record table counts what the
// converter counted; the GIF export runs on it.
TEST_P(ConversionRoundTrip, DecodesToTheCanvases) {
    const auto& [clip, job] = GetParam();
    KELVONAR_CONVERSION(conversion, clip, job.name);
    const std::string data = conversion.data().string();
    const std::string canvases = conversion.canvases().string();
    const std::string summary = testprocess::slurp(conversion.summary());

    // The canvases record the job, so the check needs no --lossy.
    const auto checked = testprocess::run(kPlay, {data, "--check", canvases});
    EXPECT_EQ(checked.status, 0) << checked.out << checked.err;
    if (job.exact) {
        EXPECT_EQ(checked.out.rfind("all ", 0), 0U) << checked.out;
    }

    const auto info = testprocess::run(kPlay, {data, "--info"});
    ASSERT_EQ(info.status, 0) << info.err;
    const std::string panel = "key / difference frames per code type:";
    EXPECT_EQ(linesFrom(info.out, panel, 5), linesFrom(summary, panel, 5));
    EXPECT_NE(linesFrom(info.out, panel, 5), "");
    const std::string frames = std::to_string(
        std::count_if(fs::directory_iterator(canvases), fs::directory_iterator(),
                      [](const fs::directory_entry& e) { return e.path().extension() == ".pbm"; }));
    const std::string text = testprocess::slurp(data);
    const auto bytes = std::count(text.begin(), text.end(), '%');
    EXPECT_NE(info.out.find("\n" + frames + " records, " + std::to_string(bytes) + " bytes"),
              std::string::npos)
        << info.out;

    const std::string gif = (m_folder / "my.gif").string();
    const auto exported = testprocess::run(kPlay, {data, "--gif", gif, "--scale", "1"});
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(testprocess::slurp(gif).substr(0, 6), "GIF89a");
}

INSTANTIATE_TEST_SUITE_P(Clips, ConversionRoundTrip,
                         testing::Combine(testing::ValuesIn(testconversions::kClips),
                                          testing::ValuesIn(testconversions::kJobs)),
                         [](const auto& info) {
                             return testconversions::caseName(std::get<0>(info.param),
                                                              std::get<1>(info.param).name);
                         });
