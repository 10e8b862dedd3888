// The greetings' processor work: the letter layout its load builds, and the
// search for its camera shots that the data generator runs.
#include "content/CameraShots.h"
#include "effects/Greetings.h"
#include "platform/Random.h"

#include <benchmark/benchmark.h>

namespace {

void freeTree(GreetingNode* node) {
    for (int i = 0; i < node->children.count; ++i) {
        freeTree(node->children[i]);
    }
    delete node;
}

void greetingsLayout(benchmark::State& state) {
    for (auto _ : state) {
        Random::seed(23);
        for (const char* name : Greetings::greetedNames) {
            GreetingNode* root = new GreetingNode;
            root->build(name, 2, true, Vec3(), 0.0f);
            benchmark::DoNotOptimize(root->position);
            freeTree(root);
        }
    }
}
BENCHMARK(greetingsLayout)->Unit(benchmark::kMicrosecond);

void greetingsShots(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(CameraShots::greetings());
    }
}
BENCHMARK(greetingsShots)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
