// The metaballs' per-frame work on the processor: the field of three tori, its
// normals and the polygonised surface of one frame, against the plain field and a
// copy of the grid's point array.
#include "effects/MetaStuff.h"
#include "effects/MetaballGrid.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int gridSize = 45;

// The field of the three tori at animation value 2t, from a reset grid.
void torusField(MetaballGrid& grid, float t, bool wobble, bool plainly) {
    grid.resetValues();
    Vec3 centres[3], axes[3];
    torusPlacement(2.0f * t, centres, axes);
    for (int n = 0; n < 3; ++n) {
        if (plainly) {
            addTorusPlainly(grid, centres[n], axes[n], 11.0f, 3.0f, wobble);
        } else {
            grid.addTorus(centres[n], axes[n], 11.0f, 3.0f, wobble);
        }
    }
}

// One frame as the effect makes it.
int metaballFrame(MetaballGrid& grid, MeshVertex* surface, float t, bool wobble, bool plainly) {
    torusField(grid, t, wobble, plainly);
    grid.computeNormals();
    return grid.polygonise(surface);
}

// Argument 0: the exact rings before 166.5 s; 1: the wobbling rings after.
void BM_MetaballFrame(benchmark::State& state) {
    MetaballGrid grid(gridSize);
    std::unique_ptr<MeshVertex[]> surface(new MeshVertex[grid.maxVertices()]);
    const bool wobble = state.range(0) != 0;
    float t = wobble ? 13.0f : 2.0f;
    int triangles = 0;
    for (auto _ : state) {
        triangles = metaballFrame(grid, surface.get(), t, wobble, false);
        benchmark::DoNotOptimize(surface.get());
        t += 0.016f;
    }
    state.counters["triangles"] = triangles;
}
BENCHMARK(BM_MetaballFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The field alone, fast and plain, for the three tori of one frame.
void BM_MetaballField(benchmark::State& state) {
    MetaballGrid grid(gridSize);
    const bool wobble = state.range(0) != 0;
    const bool plainly = state.range(1) != 0;
    float t = 13.0f;
    for (auto _ : state) {
        torusField(grid, t, wobble, plainly);
        benchmark::DoNotOptimize(grid.points.data());
        t += 0.016f;
    }
}
BENCHMARK(BM_MetaballField)
    ->ArgNames({"wobble", "plain"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMicrosecond);

void BM_MetaballNormals(benchmark::State& state) {
    MetaballGrid grid(gridSize);
    std::unique_ptr<MeshVertex[]> surface(new MeshVertex[grid.maxVertices()]);
    metaballFrame(grid, surface.get(), 13.0f, false, false);
    for (auto _ : state) {
        grid.computeNormals();
        benchmark::DoNotOptimize(grid.points.data());
    }
}
BENCHMARK(BM_MetaballNormals)->Unit(benchmark::kMicrosecond);

void BM_MetaballPolygonise(benchmark::State& state) {
    MetaballGrid grid(gridSize);
    std::unique_ptr<MeshVertex[]> surface(new MeshVertex[grid.maxVertices()]);
    metaballFrame(grid, surface.get(), 13.0f, false, false);
    for (auto _ : state) {
        benchmark::DoNotOptimize(grid.polygonise(surface.get()));
    }
}
BENCHMARK(BM_MetaballPolygonise)->Unit(benchmark::kMicrosecond);

// What moving the grid's point array once costs: the floor of any pass over it.
void BM_CopyMetaballPoints(benchmark::State& state) {
    const size_t bytes = static_cast<size_t>(gridSize) * gridSize * gridSize * sizeof(GridPoint);
    std::vector<char> from(bytes, 1), to(bytes, 0);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes);
}
BENCHMARK(BM_CopyMetaballPoints)
    ->Name("BM_CopySameBytes/metaballPoints")
    ->Unit(benchmark::kMicrosecond);

} // namespace
