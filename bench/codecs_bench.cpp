// Speed of the frame codecs on 96 x 64 screens: blank, noise, and picture-like content.

#include <benchmark/benchmark.h>

#include <random>

#include "tifunctions.hpp"

namespace {

using TIFunctions::BitString;

constexpr int kWidth = 96;
constexpr int kHeight = 64;

enum class Kind { Blank, Noise, Picture };

// A thresholded diagonal gradient with a filled disc, a framed box and a row of dashes, the way a
// rasterised video frame looks: long runs, edges, and a few busy areas.
BitString pictureFrame() {
    BitString frame;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const int gradient = (x * 3 + y * 2) % 160;
            const int dx = x - 30, dy = y - 34;
            const bool disc = dx * dx + dy * dy < 15 * 15;
            const bool box = (x >= 55 && x <= 85 && (y == 10 || y == 40)) ||
                             ((x == 55 || x == 85) && y >= 10 && y <= 40);
            const bool dashes = y >= 50 && y <= 52 && (x / 3) % 2 == 0;
            frame.pushBit((gradient > 120) != disc || box || dashes);
        }
    }
    return frame;
}

BitString frameOf(Kind kind) {
    switch (kind) {
        case Kind::Blank:
            return BitString::filled(kWidth * kHeight, false);
        case Kind::Noise: {
            std::mt19937 random(1);
            BitString frame;
            for (int i = 0; i < kWidth * kHeight; ++i)
                frame.pushBit(random() & 1U);
            return frame;
        }
        case Kind::Picture:
            return pictureFrame();
    }
    return {};
}

void EncodeFrameByType(benchmark::State& state) {
    const BitString frame = frameOf(static_cast<Kind>(state.range(0)));
    const auto type = static_cast<double>(state.range(1));
    BitString out;
    for (auto _ : state) {
        TIFunctions::EncodeFrame(frame, type, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kWidth * kHeight / 8);
}

// The seven code types of the search in one iteration; "per_call" is the mean time of one call.
void EncodeFrameMeanOfTypes(benchmark::State& state) {
    const BitString frame = frameOf(static_cast<Kind>(state.range(0)));
    BitString out;
    for (auto _ : state) {
        for (int type = 0; type <= 6; ++type) {
            TIFunctions::EncodeFrame(frame, type, out);
            benchmark::DoNotOptimize(out.data());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 7 * kWidth * kHeight /
                            8);
    state.counters["per_call"] = benchmark::Counter(
        7, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

}  // namespace

BENCHMARK(EncodeFrameByType)
    ->ArgNames({"kind", "type"})
    ->ArgsProduct({{0, 1, 2}, {0, 1, 2, 3, 4, 5, 6}});
BENCHMARK(EncodeFrameMeanOfTypes)->ArgName("kind")->DenseRange(0, 2);
