// ADPCM encoding speed: one hour of 44.1 kHz 16-bit stereo, generated in memory, encoded to
// SWF ADPCM. The "x_realtime" counter is seconds of sound encoded per second of CPU time
// (target: at least 100 at 4 bits on one core). Run from a Release build.
#include "engine/engine_namespace.h"
#include "swf/adpcm_encoder.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

using namespace kestrova::engine;

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kSeconds = 3600;
constexpr uint32_t kFrames = kRate * kSeconds;

// Music-like test signal: two detuned tones per channel and a little noise, so the codes
// vary as they do for real sound.
const std::vector<int16_t>& HourOfStereo() {
    static const std::vector<int16_t> samples = [] {
        std::vector<int16_t> s(size_t{kFrames} * 2);
        const double w1 = 2 * M_PI * 220 / kRate, w2 = 2 * M_PI * 1375 / kRate;
        uint32_t noise = 1;
        for (uint32_t i = 0; i < kFrames; ++i) {
            noise = noise * 1664525 + 1013904223;
            double n = static_cast<int32_t>(noise) / 2147483648.0;
            double a = std::sin(w1 * i), b = std::sin(w2 * i);
            s[2 * size_t{i}] = static_cast<int16_t>(12000 * a + 6000 * b + 500 * n);
            s[2 * size_t{i} + 1] = static_cast<int16_t>(9000 * b - 7000 * a + 500 * n);
        }
        return s;
    }();
    return samples;
}

void BM_EncodeHourStereo(benchmark::State& state) {
    const std::vector<int16_t>& samples = HourOfStereo();
    const uint32_t codeSize = static_cast<uint32_t>(state.range(0));
    std::vector<uint8_t> out;
    for (auto _ : state) {
        out.clear();
        CAdpcmEncoder encoder(0x0F, codeSize); // 44 kHz, 16-bit, stereo
        encoder.Encode(samples.data(), kFrames, out);
        encoder.Flush(out);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["x_realtime"] =
        benchmark::Counter(double(kSeconds) * state.iterations(), benchmark::Counter::kIsRate);
    state.counters["MB_out"] = double(out.size()) / 1e6;
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(samples.size()) * 2);
}
BENCHMARK(BM_EncodeHourStereo)->DenseRange(2, 5)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
