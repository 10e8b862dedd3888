#include "core/Music.h"
#include "core/MusicDecoder.h"
#include "core/MusicStream.h"

#include "support/Mp3Encoder.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr double soundtrackSeconds = 190.0;
constexpr int framesPerVideoFrame = 44100 / 60;

// A soundtrack as long as the production's: a chord that moves every half
// second over a slow sweep, so the encoder and decoder see changing content.
std::vector<int16_t> soundtrackSamples() {
    std::vector<int16_t> samples;
    const long frames = std::lround(soundtrackSeconds * 44100);
    samples.reserve(frames * 2);
    for (long i = 0; i < frames; ++i) {
        double t = i / 44100.0;
        double root = 110.0 * std::pow(2.0, static_cast<int>(t * 2) % 12 / 12.0);
        double left =
            0.3 * std::sin(2 * M_PI * root * t) + 0.2 * std::sin(2 * M_PI * root * 1.5 * t);
        double right =
            0.3 * std::sin(2 * M_PI * root * 2 * t) + 0.2 * std::sin(2 * M_PI * (200 + 20 * t) * t);
        samples.push_back(static_cast<int16_t>(left * 32767));
        samples.push_back(static_cast<int16_t>(right * 32767));
    }
    return samples;
}

// The generated soundtrack, encoded once per run and removed at exit.
class SoundtrackFile {
public:
    SoundtrackFile() {
        path = (std::filesystem::temp_directory_path() /
                ("lumora-bench-music-" + std::to_string(getpid()) + ".mp3"))
                   .string();
        std::string error;
        if (!encodeMp3(path, soundtrackSamples(), 2, 44100, &error)) {
            fprintf(stderr, "%s\n", error.c_str());
            path.clear();
        }
    }
    ~SoundtrackFile() {
        if (!path.empty()) {
            std::remove(path.c_str());
        }
    }
    std::string path;
};

const std::string& soundtrack() {
    static SoundtrackFile file;
    return file.path;
}

void BM_MusicDecodeWholeFile(benchmark::State& state) {
    const std::string& file = soundtrack();
    if (file.empty()) {
        state.SkipWithError("cannot encode the soundtrack");
        return;
    }
    for (auto _ : state) {
        DecodedMusic music;
        std::string error;
        if (!decodeMusicFile(file, music, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        benchmark::DoNotOptimize(music.samples.data());
    }
    state.counters["audio_s"] = soundtrackSeconds;
}
BENCHMARK(BM_MusicDecodeWholeFile)->Unit(benchmark::kMillisecond)->Iterations(3);

// What a frame costs the player: the position, then the spectrum, on the
// virtual clock (the playing clock only adds a device lock).
void BM_MusicSpectrumPerFrame(benchmark::State& state) {
    const std::string& file = soundtrack();
    if (file.empty()) {
        state.SkipWithError("cannot encode the soundtrack");
        return;
    }
    Music::enableVirtualMode();
    Music::init(nullptr);
    Music::open(file.c_str());
    Music::play(0.0);
    float magnitudes[512];
    long frame = 0;
    for (auto _ : state) {
        Music::setVirtualPosition(frame / 44100.0);
        benchmark::DoNotOptimize(Music::position());
        Music::spectrum(magnitudes);
        benchmark::DoNotOptimize(magnitudes);
        frame = (frame + framesPerVideoFrame) % static_cast<long>(soundtrackSeconds * 44100);
    }
    Music::close();
}
BENCHMARK(BM_MusicSpectrumPerFrame)->Unit(benchmark::kMicrosecond);

} // namespace
