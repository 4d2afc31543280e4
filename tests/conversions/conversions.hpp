#pragma once

// The conversions of the sample and of the test clips that several suites check: made once per
// test run by the ConvertClips fixture (convert_clips.cpp), read by the suites through this table.

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <filesystem>
#include <string>
#include <tuple>

namespace testconversions {

namespace fs = std::filesystem;

inline const fs::path kSourceDir = KELVONAR_SOURCE_DIR;
inline const fs::path kVideos = fs::path(KELVONAR_TESTDATA_DIR) / "video";
inline const fs::path kConversions = KELVONAR_CONVERSIONS_DIR;
// The dither noise of every conversion, so that each one is repeatable.
inline constexpr const char* kSeed = "5";

// The sample first, then the clips of the test media folder.
inline constexpr std::array<const char*, 8> kClips = {
    "bounce.mp4", "realshort.mp4",  "DualDiscs.mov", "Effet_force_magnetique.ogv",
    "g1.avi",     "balle1-vp9.avi", "blue.mpg",      "press.mpg"};

// A job: the sample's job file with extra lines put first into its [media] section (the reader
// takes the first line of a key).
struct Job {
    const char* name;
    const char* extraLines;
    bool exact;  // quality 0 without interlacing: every frame equals its canvas
    int quality;
    bool interlace;
};

inline constexpr std::array<Job, 4> kJobs = {{
    {"Exact", "interlace=0\r\n", true, 0, false},
    {"Interlaced", "", false, 0, true},
    {"Quality2", "quality=2\r\n", false, 2, true},
    {"Quality3Dither", "quality=3\r\ndither=2\r\nbgwhite=1\r\n", false, 3, true},
}};

inline const Job& job(const std::string& name) {
    for (const Job& j : kJobs) {
        if (name == j.name) return j;
    }
    throw std::invalid_argument("no test job " + name);
}

inline fs::path video(const std::string& clip) {
    return clip == "bounce.mp4" ? kSourceDir / "samples" / clip : kVideos / clip;
}

// The folder of one conversion: thisjob.ini, my.z80, canvases/ (the PBM dump) and summary.txt
// (what the converter printed).
struct Conversion {
    fs::path folder;
    fs::path job() const { return folder / "thisjob.ini"; }
    fs::path data() const { return folder / "my.z80"; }
    fs::path canvases() const { return folder / "canvases"; }
    fs::path summary() const { return folder / "summary.txt"; }
};

inline Conversion conversion(const std::string& clip, const std::string& jobName) {
    return {kConversions / clip / jobName};
}

// A test name made of the clip's and the job's names.
inline std::string caseName(const std::string& clip, const std::string& jobName) {
    std::string name = clip + jobName;
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

}  // namespace testconversions

// In a test: the conversion of clip under job, skipping the test when the clip is not there and
// failing it when the fixture did not make the conversion.
#define KELVONAR_CONVERSION(var, clip, jobName)                                         \
    if (!std::filesystem::exists(testconversions::video(clip)))                         \
        GTEST_SKIP() << "test media not found: " << testconversions::video(clip);       \
    const testconversions::Conversion var = testconversions::conversion(clip, jobName); \
    ASSERT_TRUE(std::filesystem::exists(var.data()))                                    \
        << "no conversion at " << var.folder                                            \
        << ": run the suite with ctest, whose fixture "                                 \
           "ConvertClips makes it"
