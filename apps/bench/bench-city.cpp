// The city scene: loading its model and building its two trails, and one
// frame's drawing of the four copies of the model from the scene's own camera,
// with the GL work it takes (draws, material binds, texture binds, parameter
// uploads per frame). Run from the stage folder's data; headless.
#include "camera/TrackTube.h"
#include "content/CameraShots.h"
#include "platform/Gl.h"
#include "platform/GlState.h"
#include "platform/GlWindow.h"
#include "platform/ProgramFolder.h"
#include "resources/NmdScene.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

GlWindow& benchWindow() {
    static GlWindow* window = [] {
        changeToProgramFolder();
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        return new GlWindow(800, 600, 16, 8, 0, 0, 0);
    }();
    return *window;
}

void BM_CitySceneLoad(benchmark::State& state) {
    benchWindow();
    for (auto _ : state) {
        NmdScene scene("data/citymaps/city.nmd", true, "data/citymaps/");
        benchmark::DoNotOptimize(scene.nodes.size());
        glFinish();
    }
}
BENCHMARK(BM_CitySceneLoad)->Unit(benchmark::kMillisecond);

// The trails' path and the two tubes of 2500 rings along 150 wandering keys.
void BM_CityTrailsBuild(benchmark::State& state) {
    const float keys[11][3] = {{-35, 71, -18},    {-35, 11, -18},    {-34, -72, -21},
                               {5, -146, -19},    {-36, -204, -19},  {-114, -128, -16},
                               {-120, -211, -12}, {-176, -223, -10}, {-172, -218, -53},
                               {-270, -131, -40}, {-270, -131, -200}};
    for (auto _ : state) {
        CameraTrack path;
        for (const auto& k : keys)
            path.addKey(k[0], k[1], k[2], static_cast<float>(path.count), 1);
        TrackTube a, b;
        a.reserve(200);
        b.reserve(200);
        for (int i = 0; i < 150; ++i) {
            const Vec3 p = path.sample(static_cast<float>(i) * 0.083333336f, 3);
            const float wander = static_cast<float>(i % 7) - 3.0f;
            a.addKey(p.x + wander, p.y - wander, p.z, static_cast<float>(a.count), 1);
            b.addKey(p.x - wander, p.y + wander, p.z, static_cast<float>(b.count), 1);
        }
        a.build(2, 2500, 0.2f, 3, 0.0f, -1.0f);
        b.build(2, 2500, 0.25f, 3, 0.0f, -1.0f);
        benchmark::DoNotOptimize(a.indices.data);
        benchmark::DoNotOptimize(b.indices.data);
    }
}
BENCHMARK(BM_CityTrailsBuild)->Unit(benchmark::kMillisecond);

// The four copies drawn as the scene draws them, at scene time t (the
// argument, seconds) from the camera of that moment; glFinish closes the frame.
void BM_CitySceneFrame(benchmark::State& state) {
    benchWindow();
    // Kept for the process, like the window it draws into.
    static NmdScene* scene = new NmdScene("data/citymaps/city.nmd", true, "data/citymaps/");
    const float t = static_cast<float>(state.range(0));
    const ShotKey shot = interpolateShot(CameraShots::city(), t);
    bindWindowTarget();
    resetState();
    scene->drawCounts = {};
    int frames = 0;
    for (auto _ : state) {
        clear(0.55f, 0.6f, 0.7f, 0.0f, true, true, true);
        scene->setCamera(shot.eye.x, shot.eye.y, shot.eye.z, shot.target.x, shot.target.y,
                         shot.target.z, 45.0f, 1.3333334f, 1.0f, 1000.0f);
        for (float x : {0.0f, -550.0f}) {
            for (float y : {0.0f, -378.0f}) {
                pushMatrix();
                translate(x, y, 0.0f);
                scene->render(t * 1000.0f);
                popMatrix();
            }
        }
        glFinish();
        ++frames;
    }
    const NmdScene::DrawCounts& counts = scene->drawCounts;
    state.counters["draws"] = static_cast<double>(counts.draws) / frames;
    state.counters["materialBinds"] = static_cast<double>(counts.materialBinds) / frames;
    state.counters["textureBinds"] = static_cast<double>(counts.textureBinds) / frames;
    state.counters["uploads"] = static_cast<double>(counts.parameterUploads) / frames;
}
BENCHMARK(BM_CitySceneFrame)->Arg(6)->Arg(20)->Unit(benchmark::kMillisecond);

} // namespace
