// The camera's per-frame work (64 tracks sampled into the controllers), the
// bank reader, and the load-time tube build.
#include "camera/TrackBank.h"
#include "camera/TrackTube.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

// A bank like a recorded one: camera, target and up with keys every two
// seconds over the demo, cycling through the interpolation modes.
void recordedBank(CameraTrack* tracks, int keysPerTrack) {
    for (int k = 0; k < trackBankSize; ++k) {
        tracks[k].count = 0;
        int keys = k < 3 ? keysPerTrack : 0;
        for (int i = 0; i < keys; ++i) {
            float t = 2.0f * static_cast<float>(i);
            tracks[k].addKey(t, 10.0f * static_cast<float>(k), -t, t, i % 4);
        }
    }
}

void BM_PlaybackFrame(benchmark::State& state) {
    static CameraTrack tracks[trackBankSize];
    recordedBank(tracks, static_cast<int>(state.range(0)));
    Vec3 controllers[trackBankSize];
    float t = 0.0f;
    for (auto _ : state) {
        for (int k = 0; k < trackBankSize; ++k) {
            controllers[k] = tracks[k].value(t);
        }
        benchmark::DoNotOptimize(controllers);
        t += 0.0166f;
        if (t > 190.0f) {
            t = 0.0f;
        }
    }
}
BENCHMARK(BM_PlaybackFrame)->Arg(10)->Arg(95)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_ReadBank(benchmark::State& state) {
    static CameraTrack tracks[trackBankSize];
    recordedBank(tracks, 95);
    std::vector<unsigned char> bytes = encodeTrackBank(tracks);
    for (auto _ : state) {
        TrackBankRead read = parseTrackBank(bytes.data(), bytes.size(), tracks);
        benchmark::DoNotOptimize(read.tracksRead);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ReadBank)->Unit(benchmark::kMicrosecond);

void BM_TubeBuild(benchmark::State& state) {
    TrackTube tube;
    for (int i = 0; i < 40; ++i) {
        float t = static_cast<float>(i);
        tube.addKey(10.0f * std::sin(t), 10.0f * std::cos(0.7f * t), t, t, 3);
    }
    for (auto _ : state) {
        tube.build(8, static_cast<int>(state.range(0)), 0.5f, 3, 0.0f, -1.0f);
        benchmark::DoNotOptimize(tube.positions.data);
    }
}
BENCHMARK(BM_TubeBuild)->Arg(400)->Arg(4000)->Unit(benchmark::kMillisecond);

} // namespace
