// Frame capture on the shipped test media: opening a clip and producing every canvas, as the
// frame loop does (96 x 64 canvas, 94 x 62 player). One benchmark per clip, registered when the
// media folder exists; bench/capture-ratio compares them with ffmpeg's own decode and scale.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "layout.hpp"
#include "mediaplayer.hpp"
#include "rasteriser.hpp"
#include "surface.hpp"

namespace {

namespace fs = std::filesystem;

void captureClip(benchmark::State& state, const std::string& path) {
    capture::quietMediaLog();
    capture::Layout layout = capture::InitMediaPlayer(94, 62, 96, 64, 0);
    capture::SetPreviewLayout(layout, true);
    capture::UniformRandom random(1);
    std::int64_t canvases = 0;
    for (auto _ : state) {
        capture::MediaPlayer player(path, 94, 62);
        for (int k = 0; k == 0 || player.Length() >= k / 10.0; ++k) {
            const capture::Surface surface =
                capture::composeSurface(layout, &player.pictureAt(k / 10.0));
            TIFunctions::BitString canvas = capture::getCanvas(surface, 120, 40, 1, random);
            benchmark::DoNotOptimize(canvas);
            ++canvases;
        }
    }
    state.SetItemsProcessed(canvases);
    state.SetBytesProcessed(static_cast<std::int64_t>(fs::file_size(path)) *
                            static_cast<std::int64_t>(state.iterations()));
}

const bool kRegistered = [] {
    const fs::path folder = fs::path(KELVONAR_TESTDATA_DIR) / "video";
    std::error_code error;
    if (!fs::is_directory(folder, error)) return false;
    std::vector<fs::path> clips;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        if (entry.is_regular_file() && entry.path().extension() != ".md") {
            clips.push_back(entry.path());
        }
    }
    std::sort(clips.begin(), clips.end());
    for (const fs::path& clip : clips) {
        const std::string name = "CaptureClip/" + clip.filename().string();
        benchmark::RegisterBenchmark(name.c_str(), captureClip, clip.string())
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    return true;
}();

}  // namespace
