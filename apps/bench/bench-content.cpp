// The data generator's heavy steps; the whole run should stay within about a
// minute on a small machine.
#include "content/City.h"
#include "content/DataGenerator.h"
#include "content/Planet.h"
#include "content/Soundtrack.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <sstream>

namespace {

void soundtrackSynthesis(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(renderSoundtrack());
}
BENCHMARK(soundtrackSynthesis)->Unit(benchmark::kMillisecond)->Iterations(1);

void soundtrackEncoding(benchmark::State& state) {
    const std::vector<float> song = renderSoundtrack();
    for (auto _ : state)
        benchmark::DoNotOptimize(encodeSoundtrack(song));
}
BENCHMARK(soundtrackEncoding)->Unit(benchmark::kMillisecond)->Iterations(1);

void cityLayout(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(City::build());
}
BENCHMARK(cityLayout)->Unit(benchmark::kMillisecond);

void planetSurface(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(Planet::surface());
        benchmark::DoNotOptimize(Planet::surfacePicture());
    }
}
BENCHMARK(planetSurface)->Unit(benchmark::kMillisecond);

void wholeDataFolder(benchmark::State& state) {
    const std::string folder =
        (std::filesystem::temp_directory_path() / "lumora-bench-datagen").string();
    for (auto _ : state) {
        std::ostringstream progress;
        generateDataFolder(folder, progress);
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(wholeDataFolder)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
