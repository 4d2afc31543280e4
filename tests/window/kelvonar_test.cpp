// The converter program as users run it: options, paths, failures and Ctrl-C.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "process.hpp"
#include "tempdir.hpp"

namespace fs = std::filesystem;

namespace {

const std::string kKelvonar = KELVONAR_EXECUTABLE;
const std::string kSample = std::string(KELVONAR_SOURCE_DIR) + "/samples/bounce.mp4";
const std::string kDefaultJob = std::string(KELVONAR_SOURCE_DIR) + "/samples/thisjob.ini";

class KelvonarProgram : public testing::Test {
  protected:
    // Also called again by a table of cases: each begins in an emptied folder.
    void SetUp() override {
        for (const auto& entry : fs::directory_iterator(m_folder))
            fs::remove_all(entry.path());
        fs::copy_file(kDefaultJob, job());
        // An older output that no failure may touch.
        write(output(), "older output\r\n");
    }

    std::string job() const { return (m_folder / "thisjob.ini").string(); }
    std::string output() const { return (m_folder / "my.z80").string(); }
    std::string path(const std::string& name) const { return (m_folder / name).string(); }
    static void write(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }

    // Converts with the test's job, seed and output; an option may be given once only, so
    // arguments holding --output name their own.
    testprocess::Result convert(std::vector<std::string> arguments) const {
        std::vector<std::string> all = {"--headless", "--job", job(), "--seed", "7"};
        if (std::find(arguments.begin(), arguments.end(), "--output") == arguments.end())
            all.insert(all.end(), {"--output", output()});
        all.insert(all.end(), arguments.begin(), arguments.end());
        return testprocess::run(kKelvonar, all);
    }
    // Runs program in the test's folder, with the configuration folder under it.
    testprocess::Result runInFolder(const std::string& program,
                                    const std::vector<std::string>& arguments) const {
        std::vector<std::string> all = {"-C", m_folder.string(),
                                        "XDG_CONFIG_HOME=" + path("config"), program};
        all.insert(all.end(), arguments.begin(), arguments.end());
        return testprocess::run("/usr/bin/env", all);
    }
    static long pbmFiles(const std::string& folder) {
        return std::count_if(
            fs::directory_iterator(folder), fs::directory_iterator(),
            [](const fs::directory_entry& e) { return e.path().extension() == ".pbm"; });
    }
    void expectOlderOutputKept() const {
        EXPECT_EQ(testprocess::slurp(output()), "older output\r\n");
    }

    // A job file like the default one with one line replaced.
    void jobWith(const std::string& line, const std::string& replacement) const {
        std::string text = testprocess::slurp(kDefaultJob);
        const auto at = text.find(line);
        ASSERT_NE(at, std::string::npos);
        text.replace(at, line.size(), replacement);
        write(job(), text);
    }

    testsupport::TempDir m_temp;
    const fs::path& m_folder = m_temp.path();
};

}  // namespace

TEST_F(KelvonarProgram, ConvertsTheSampleAndSummarises) {
    const auto result = convert({kSample});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("NZCP:"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("wrote " + output()), std::string::npos) << result.err;
    const std::string data = testprocess::slurp(output());
    EXPECT_EQ(data.rfind(" .db %", 0), 0U);
    // The same seed gives the same file.
    const auto again = convert({kSample});
    ASSERT_EQ(again.status, 0);
    EXPECT_EQ(testprocess::slurp(output()), data);
}

TEST_F(KelvonarProgram, HelpVersionAndUsageErrors) {
    const auto help = testprocess::run(kKelvonar, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: kelvonar"), std::string::npos);
    EXPECT_EQ(testprocess::run(kKelvonar, {"--version"}).status, 0);

    for (const std::vector<std::string>& arguments : {std::vector<std::string>{},
                                                      {"--frobnicate", kSample},
                                                      {"--seed", "x", kSample},
                                                      {"\""},
                                                      {"--job"}}) {
        const auto result = testprocess::run(kKelvonar, arguments);
        EXPECT_EQ(result.status, 2) << result.err;
        EXPECT_NE(result.err.find("kelvonar: "), std::string::npos);
    }
}

TEST_F(KelvonarProgram, PathsWithBlanksQuotesAndLeadingDashes) {
    const std::string blanks = path("my  clip.mp4");
    fs::copy_file(kSample, blanks);
    // Quoted: the quotes go, the blanks stay.
    EXPECT_EQ(convert({"\"" + blanks + "\""}).status, 0);
    // Unquoted words are joined by single blanks: two blanks cannot be given that way.
    const auto joined = convert({path("my"), "clip.mp4"});
    EXPECT_EQ(joined.status, 1);
    EXPECT_NE(joined.err.find(path("my") + " clip.mp4"), std::string::npos) << joined.err;

    const std::string dashed = path("-clip.mp4");
    fs::copy_file(kSample, dashed);
    fs::current_path(m_folder);
    EXPECT_EQ(convert({"--", "-clip.mp4"}).status, 0);
    EXPECT_EQ(convert({"-clip.mp4"}).status, 2);
}

TEST_F(KelvonarProgram, FailuresSayWhyAndKeepTheOlderOutput) {
    const std::string text = path("notes.txt");
    write(text, "not a video at all");
    struct Case {
        std::string name;
        std::function<void()> prepare;
        std::vector<std::string> arguments;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"missing job",
         [&] { fs::remove(job()); },
         {kSample},
         job() + ": No such file or directory"},
        {"empty job", [&] { write(job(), ""); }, {kSample}, job()},
        {"missing video", [] {}, {path("nothing.mp4")}, path("nothing.mp4")},
        {"not a video", [] {}, {text}, text},
        {"empty canvas", [&] { jobWith("width=96", "width=0"); }, {kSample}, "canvas size"},
        {"canvas of odd bytes",
         [&] { jobWith("width=96\r\nheight=64", "width=97\r\nheight=63"); },
         {kSample},
         "multiple of 8"},
        {"canvas too large",
         [&] { jobWith("width=96\r\nheight=64", "width=1024\r\nheight=1024"); },
         {kSample},
         "65535"},
        {"negative budget",
         [&] { jobWith("freemem = 24000", "freemem = -5"); },
         {kSample},
         "job file " + job() + ": device freemem -5 is negative"},
        {"output folder missing",
         [] {},
         {"--output", path("none/my.z80"), kSample},
         path("none/my.z80")},
        {"output is a folder",
         [&] { fs::create_directory(path("folder.z80")); },
         {"--output", path("folder.z80"), kSample},
         "folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        c.prepare();
        const auto result = convert(c.arguments);
        EXPECT_EQ(result.status, 1) << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        expectOlderOutputKept();
    }
}

// The output goes through the shared atomic writer: a link keeps pointing at the new file, and
// a device is written in place.
TEST_F(KelvonarProgram, WritesThroughALinkAndIntoADevice) {
    fs::create_symlink(output(), path("link.z80"));
    ASSERT_EQ(convert({"--output", path("link.z80"), kSample}).status, 0);
    EXPECT_TRUE(fs::is_symlink(path("link.z80")));
    const std::string data = testprocess::slurp(output());
    EXPECT_EQ(data.rfind(" .db %", 0), 0U);

    const auto piped = convert({"--output", "/dev/stdout", kSample});
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(piped.out, data);
}

// An output that is the video or the job file, by any name, is a usage error that changes nothing.
TEST_F(KelvonarProgram, OutputThatWouldReplaceAnInputIsRefused) {
    const std::string video = path("clip.avi");
    fs::copy_file(kSample, video);
    fs::create_symlink(video, path("video-link.z80"));
    fs::create_symlink(job(), path("job-link.z80"));
    const std::string jobText = testprocess::slurp(job());
    for (const auto& [output, input] :
         {std::pair{video, video}, std::pair{path("video-link.z80"), video},
          std::pair{(m_folder / "." / ".." / m_folder.filename() / "clip.avi").string(), video},
          std::pair{job(), job()}, std::pair{path("job-link.z80"), job()}}) {
        const auto result = convert({"--output", output, video});
        EXPECT_EQ(result.status, 2) << output << ": " << result.err;
        EXPECT_NE(result.err.find("would replace the " +
                                  std::string(input == video ? "video " : "job file ") + input),
                  std::string::npos)
            << result.err;
    }
    EXPECT_EQ(testprocess::slurp(video), testprocess::slurp(kSample));
    EXPECT_EQ(testprocess::slurp(job()), jobText);
    expectOlderOutputKept();
}

// Progress counts the video's frames and seconds; a budget that ends the run early is named in
// the summary with the options that fit the video, and the status stays 0.
TEST_F(KelvonarProgram, ABudgetThatEndsTheRunSaysSo) {
    const auto whole = convert({kSample});
    ASSERT_EQ(whole.status, 0) << whole.err;
    EXPECT_NE(whole.err.find("converted frame 60 of 60, 6.0 of 6.0 s"), std::string::npos)
        << whole.err;
    EXPECT_EQ(whole.err.find("budget"), std::string::npos) << whole.err;

    jobWith("freemem = 24000", "freemem = 0");
    const auto result = convert({kSample});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("converted frame 1 of 60, 0.1 of 6.0 s"), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("the budget of 0 bytes ended the conversion at 0.1 s of the "
                              "video's 6.0 s"),
              std::string::npos)
        << result.err;
    for (const char* option : {"--fit", "--budget ", "--to 0.1"})
        EXPECT_NE(result.err.find(option), std::string::npos) << option << '\n' << result.err;
}

TEST_F(KelvonarProgram, DumpsEveryCanvasAsPbm) {
    const auto result = convert({"--dump-canvases", path("canvases"), kSample});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string first = testprocess::slurp(path("canvases/00000000.pbm"));
    ASSERT_EQ(first.size(), std::string("P4\n96 64\n").size() + 768);
    EXPECT_EQ(first.rfind("P4\n96 64\n", 0), 0U);
    // Six seconds of video: positions 0, 0.1, ..., 6.0 at most.
    const auto files = pbmFiles(path("canvases"));
    // Beside them, the job values that decide how a check judges them.
    EXPECT_EQ(testprocess::slurp(path("canvases/canvases.ini")),
              "[media]\r\nquality=0\r\ninterlace=1\r\n");
    EXPECT_GE(files, 60);
    EXPECT_LE(files, 61);
}

// The sample has timestamps: an excerpt, decoded from a key frame found by seeking, has the
// canvases of the whole run from its start on (the sample's dithering draws no random numbers).
TEST_F(KelvonarProgram, AnExcerptHasTheWholeRunsCanvasesFromItsStart) {
    ASSERT_EQ(convert({"--dump-canvases", path("whole"), kSample}).status, 0);
    const auto count = [&](const std::string& folder) { return pbmFiles(path(folder)); };
    const auto canvas = [&](const std::string& folder, long k) {
        char name[32];
        std::snprintf(name, sizeof name, "/%08ld.pbm", k);
        return testprocess::slurp(path(folder) + name);
    };
    struct Excerpt {
        std::vector<std::string> arguments;
        long first;
        long frames;  // -1: to the end of the whole run
    };
    for (const Excerpt& e :
         {Excerpt{{"--from", "3.7", "--to", "0:05.2"}, 37, 15}, Excerpt{{"--from", "0:04"}, 40, -1},
          Excerpt{{"--to", "1.05"}, 0, 11}}) {
        fs::remove_all(path("part"));
        std::vector<std::string> arguments = e.arguments;
        arguments.insert(arguments.end(), {"--dump-canvases", path("part"), kSample});
        const auto result = convert(arguments);
        ASSERT_EQ(result.status, 0) << result.err;
        const long frames = e.frames >= 0 ? e.frames : count("whole") - e.first;
        ASSERT_EQ(count("part"), frames) << e.arguments[1];
        for (long k = 0; k < frames; ++k)
            ASSERT_EQ(canvas("part", k), canvas("whole", e.first + k)) << e.arguments[1] << k;
    }
}

// Frames decoded side by side arrive late; every one must still come out, in order, from the
// first on, after a seek and through the deinterlacer.
TEST_F(KelvonarProgram, TheThreadCountChangesNothing) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{}, {"--from", "3.7"}, {"--deinterlace", "on"}}) {
        std::string first;
        for (const char* threads : {"1", "2"}) {
            std::vector<std::string> all = {"--threads", threads};
            all.insert(all.end(), arguments.begin(), arguments.end());
            all.push_back(kSample);
            const auto result = convert(all);
            ASSERT_EQ(result.status, 0) << result.err;
            if (first.empty())
                first = testprocess::slurp(output());
            else
                EXPECT_EQ(testprocess::slurp(output()), first) << threads;
        }
    }
    const auto refused = convert({"--threads", "17", kSample});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("--threads needs a whole number from 0 to 16"), std::string::npos)
        << refused.err;
}

TEST_F(KelvonarProgram, AStretchOutsideTheVideoIsAUsageError) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--from", "6.5", kSample},
          {"--from", "1:00:00", kSample},
          {"--from", "3", "--to", "2", kSample},
          {"--from", "3", "--to", "3", kSample}}) {
        const auto result = convert(arguments);
        EXPECT_EQ(result.status, 2) << result.err;
        EXPECT_NE(result.err.find("--"), std::string::npos) << result.err;
        expectOlderOutputKept();
    }
}

// A copy of the program outside the build behaves as an installed one: its job is in the
// configuration folder, my.z80 and the debug images (in "output", which it creates) go to the
// current folder, and nothing lands beside the program; when the debug folder fails it only warns.
TEST_F(KelvonarProgram, ACopyOutsideTheBuildKeepsItsJobInTheConfigFolder) {
    fs::create_directories(path("bin"));
    fs::create_directories(path("config/kelvonar"));
    const std::string program = path("bin/kelvonar");
    fs::copy_file(kKelvonar, program);
    jobWith("interlace = 1", "interlace = 1\r\n\r\n[debug]\r\nwantdebug=1");
    fs::rename(job(), path("config/kelvonar/thisjob.ini"));

    const auto result = runInFolder(program, {"--headless", kSample});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(testprocess::slurp(output()), "older output\r\n");
    EXPECT_TRUE(fs::exists(path("output/00000000.bmp")));
    EXPECT_TRUE(fs::exists(path("output/00000059.bmp")));
    EXPECT_EQ(std::distance(fs::directory_iterator(path("bin")), fs::directory_iterator()), 1);

    fs::remove_all(path("output"));
    write(path("output"), "a file where the folder should be");
    write(output(), "older output\r\n");
    const auto blocked = runInFolder(program, {"--headless", kSample});
    EXPECT_EQ(blocked.status, 0) << blocked.err;
    EXPECT_NE(blocked.err.find("warning"), std::string::npos) << blocked.err;
    EXPECT_NE(testprocess::slurp(output()), "older output\r\n");
}

TEST_F(KelvonarProgram, InterruptSavesWhatWasConverted) {
    // A long clip, made for the test, so that the conversion is still running when interrupted.
    const std::string clip = path("long.mkv");
    const auto made =
        testprocess::run("/usr/bin/ffmpeg", {"-loglevel", "error", "-f", "lavfi", "-i",
                                             "testsrc=size=160x120:rate=10:duration=600", "-c:v",
                                             "mpeg4", "-q:v", "20", clip});
    ASSERT_EQ(made.status, 0) << made.err;
    const std::string canvases = path("canvases");
    const auto result = testprocess::run(
        kKelvonar,
        {"--headless", "--job", job(), "--output", output(), "--dump-canvases", canvases, clip},
        [&](pid_t pid) {
            // Wait until frames are being converted, then press Ctrl-C.
            for (int i = 0; i < 2000 && !fs::exists(canvases + "/00000003.pbm"); ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            ::kill(pid, SIGINT);
        });
    EXPECT_EQ(result.status, 130) << result.err;
    EXPECT_NE(result.err.find("cancelled"), std::string::npos) << result.err;
    const std::string data = testprocess::slurp(output());
    EXPECT_EQ(data.rfind(" .db %", 0), 0U);
}

// An option gives the same data as the job file line it replaces.
TEST_F(KelvonarProgram, OptionsEqualTheJobFileLinesTheyReplace) {
    struct Case {
        std::vector<std::string> options;
        std::vector<std::pair<std::string, std::string>> lines;  // line of the job, replacement
    };
    const std::vector<Case> cases = {
        {{"--quality", "3"}, {{"quality=0", "quality=3"}}},
        {{"--no-interlace", "--budget", "3000"},
         {{"interlace = 1", "interlace = 0"}, {"freemem = 24000", "freemem = 3000"}}},
        {{"--dither", "natural", "--background", "white", "--contrast", "60"},
         {{"dithermode=0", "dithermode=2"},
          {"bgwhite = 0", "bgwhite = 1"},
          {"contrast=40", "contrast=60"}}},
        {{"--video-size", "60x40", "--canvas-size", "64x48", "--brightness", "90"},
         {{"width=94\r\nheight=62", "width=60\r\nheight=40"},
          {"width=96\r\nheight=64", "width=64\r\nheight=48"},
          {"brightness = 120", "brightness = 90"}}},
    };
    ASSERT_EQ(convert({kSample}).status, 0);
    const std::string plain = testprocess::slurp(output());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options.front());
        SetUp();
        std::vector<std::string> arguments = c.options;
        arguments.push_back(kSample);
        const auto run = convert(arguments);
        ASSERT_EQ(run.status, 0);
        // Only a canvas other than the calculator's screen is warned about.
        EXPECT_EQ(run.err.find("calculators show 96 x 64") != std::string::npos,
                  std::count(c.options.begin(), c.options.end(), "--canvas-size") == 1)
            << run.err;
        const std::string byOptions = testprocess::slurp(output());

        std::string text = testprocess::slurp(kDefaultJob);
        for (const auto& [line, replacement] : c.lines) {
            const auto at = text.find(line);
            ASSERT_NE(at, std::string::npos) << line;
            text.replace(at, line.size(), replacement);
        }
        write(job(), text);
        ASSERT_EQ(convert({kSample}).status, 0);
        EXPECT_EQ(testprocess::slurp(output()), byOptions);
        EXPECT_NE(byOptions, plain);
    }
}

// Options alone need no job file: the job maker's defaults fill in, and --verbose says so.
TEST_F(KelvonarProgram, OptionsWithoutAJobFileUseTheDefaults) {
    ASSERT_EQ(convert({"--quality", "2", kSample}).status, 0);
    const std::string withJob = testprocess::slurp(output());

    const std::string program = path("kelvonar");
    fs::copy_file(kKelvonar, program);
    fs::remove(job());
    const auto result = runInFolder(program, {"--headless", "--seed", "7", "--verbose", "--quality",
                                              "2", "--output", output(), kSample});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(testprocess::slurp(output()), withJob);
    EXPECT_NE(result.err.find("[media] quality = 2 (option --quality)"), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("[device] freemem = 24000 (default)"), std::string::npos)
        << result.err;

    const auto refused = convert({"--canvas-size", "97x63", kSample});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("--canvas-size"), std::string::npos) << refused.err;
}

// --fit prints options that repeat its run exactly, dither draws included; when nothing fits it
// writes nothing and says how much would.
TEST_F(KelvonarProgram, FitRepeatsWithThePrintedOptions) {
    for (const std::string budget : {"24000", "5000"}) {
        SCOPED_TRACE(budget);
        const auto fitted = convert({"--fit", "--budget", budget, "--dither", "natural", kSample});
        ASSERT_EQ(fitted.status, 0) << fitted.err;
        const std::string marker = "--fit chose ";
        const auto at = fitted.err.find(marker);
        ASSERT_NE(at, std::string::npos) << fitted.err;
        std::istringstream chosen(
            fitted.err.substr(at + marker.size(), fitted.err.find(" (", at) - at - marker.size()));
        std::vector<std::string> arguments = {"--budget", budget, "--dither", "natural"};
        // The seed printed is the test's own, which convert() gives.
        for (std::string word; chosen >> word;) {
            if (word == "--seed") {
                chosen >> word;
                EXPECT_EQ(word, "7");
                continue;
            }
            arguments.push_back(word);
        }
        const std::string data = testprocess::slurp(output());
        arguments.push_back(kSample);
        ASSERT_EQ(convert(arguments).status, 0);
        EXPECT_EQ(testprocess::slurp(output()), data);
    }
    write(output(), "older output\r\n");
    const auto tooSmall = convert({"--fit", "--budget", "300", kSample});
    EXPECT_EQ(tooSmall.status, 1);
    EXPECT_NE(tooSmall.err.find("--to "), std::string::npos) << tooSmall.err;
    expectOlderOutputKept();
}
