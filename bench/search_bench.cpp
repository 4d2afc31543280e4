// Speed of the whole per-frame search (ten candidates, seven code types each) on canvases of
// the sample clip.

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "framesearch.hpp"

namespace {

using TIFunctions::BitString;

constexpr std::size_t kWidth = 96;

// The canvases of a multi-image binary PBM file.
std::vector<BitString> readCanvases(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot open " + path);
    std::vector<BitString> canvases;
    std::string magic;
    std::size_t width = 0, height = 0;
    while (file >> magic >> width >> height) {
        file.get();  // the one blank after the header
        std::vector<std::uint8_t> bytes(width * height / 8);
        file.read(reinterpret_cast<char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        canvases.push_back(BitString::fromBytes(bytes));
    }
    return canvases;
}

void SearchSampleFrames(benchmark::State& state) {
    static const std::vector<BitString> canvases =
        readCanvases(std::string(KELVONAR_SOURCE_DIR) + "/bench/data/bounce.pbm");
    const double quality = static_cast<double>(state.range(0));
    conversion::FrameSearch search;
    BitString reference = BitString::filled(canvases.front().size(), false);
    std::size_t k = 0;
    for (auto _ : state) {
        // The sequence again and again, frame numbers going on, as a long video would.
        const auto& choice =
            search.search(canvases[k % canvases.size()], reference, k, quality, 1, kWidth);
        reference = choice.shown;
        benchmark::DoNotOptimize(reference.data());
        ++k;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    state.counters["frames_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(SearchSampleFrames)->ArgName("quality")->Arg(2)->Arg(0);
