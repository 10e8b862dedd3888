// The flower: building all 1201 tubes at load, and the per-frame walk of the
// growth window that picks the ranges to draw and places the tip models.
#include "effects/FlowerPlant.h"
#include "platform/Random.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// Where the shipped order leaves the generator for the flower.
void afterTheClouds() {
    Random::seed(1);
    for (int i = 0; i < 1250; ++i) {
        Random::next();
    }
}

FlowerHeads* marker() {
    static int heads;
    return reinterpret_cast<FlowerHeads*>(&heads);
}

void BM_FlowerBuild(benchmark::State& state) {
    for (auto _ : state) {
        afterTheClouds();
        std::unique_ptr<Branch> plant(growPlant(marker()));
        benchmark::DoNotOptimize(plant.get());
    }
}
BENCHMARK(BM_FlowerBuild)->Unit(benchmark::kMillisecond);

// The clouds' 32.77 s of growth, one frame at a time at 30 frames a second.
void BM_FlowerWalk(benchmark::State& state) {
    afterTheClouds();
    std::unique_ptr<Branch> plant(growPlant(marker()));
    PlantFrame frame;
    frame.reserveFor(*plant);
    const Matrix4 modelview = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    float t = 0.0f;
    for (auto _ : state) {
        frame.clear();
        const float g = 0.25f * t;
        walkPlant(*plant, g - 2.0f, g, modelview, frame);
        benchmark::DoNotOptimize(frame.ranges.data);
        t = t < 32.77f ? t + 1.0f / 30.0f : 0.0f;
    }
}
BENCHMARK(BM_FlowerWalk)->Unit(benchmark::kMicrosecond);

} // namespace
