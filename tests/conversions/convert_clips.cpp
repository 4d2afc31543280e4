// The ConvertClips test fixture: converts the sample and every test clip present under every test
// job, once per test run, into the folder the suites read (see conversions.hpp).

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "conversions.hpp"
#include "process.hpp"

int main() {
    using namespace testconversions;
    const std::string jobText = testprocess::slurp(kSourceDir / "samples/thisjob.ini");
    const auto media = jobText.find("[media]\r\n");
    if (media == std::string::npos) {
        std::fprintf(stderr, "convert_clips: the sample job has no [media] section\n");
        return 1;
    }
    int failures = 0;
    int made = 0;
    for (const char* clip : kClips) {
        if (!fs::exists(video(clip))) {
            std::printf("skipped %s: not found\n", clip);
            continue;
        }
        for (const Job& job : kJobs) {
            const Conversion c = conversion(clip, job.name);
            fs::remove_all(c.folder);
            fs::create_directories(c.folder);
            std::string text = jobText;
            text.insert(media + 9, job.extraLines);
            std::ofstream(c.job(), std::ios::binary) << text;
            const auto run = testprocess::run(
                KELVONAR_EXECUTABLE,
                {"--headless", "--job", c.job().string(), "--output", c.data().string(), "--seed",
                 kSeed, "--dump-canvases", c.canvases().string(), video(clip).string()});
            std::ofstream(c.summary(), std::ios::binary) << run.err;
            if (run.status != 0) {
                std::fprintf(stderr, "%s, job %s: kelvonar exited %d\n%s\n", clip, job.name,
                             run.status, run.err.c_str());
                ++failures;
            }
            ++made;
        }
    }
    std::printf("%d conversions, %d failed\n", made, failures);
    return failures == 0 ? 0 : 1;
}
