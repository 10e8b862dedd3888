// The sea's per-frame work on the processor, against a plain version and a copy
// of the same number of bytes.
#include "effects/OceanWaves.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr size_t gridFloats = oceanGridSize * oceanGridSize * oceanFloatsPerVertex;

void BM_OceanWaves(benchmark::State& state) {
    std::vector<float> grid(gridFloats, 0.0f);
    float t = 0.0f;
    for (auto _ : state) {
        updateWaves(grid.data(), openingSea, t);
        benchmark::DoNotOptimize(grid.data());
        t += 0.016f;
    }
}
BENCHMARK(BM_OceanWaves)->Unit(benchmark::kMicrosecond);

void BM_OceanWavesScalarReference(benchmark::State& state) {
    std::vector<float> grid(gridFloats, 0.0f);
    float t = 0.0f;
    for (auto _ : state) {
        updateWavesPlainly(grid.data(), openingSea, t);
        benchmark::DoNotOptimize(grid.data());
        t += 0.016f;
    }
}
BENCHMARK(BM_OceanWavesScalarReference)->Unit(benchmark::kMicrosecond);

void BM_CopySameBytes(benchmark::State& state) {
    std::vector<float> from(gridFloats, 1.0f), to(gridFloats, 0.0f);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), gridFloats * sizeof(float));
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CopySameBytes)->Unit(benchmark::kMicrosecond);

} // namespace
