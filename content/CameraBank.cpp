#include "camera/TrackBank.h"
#include "content/CameraShots.h"
#include "content/ContentGroups.h"
#include "content/OutputFolder.h"

#include <vector>

namespace {

// Scenes in timeline order with the slot in which their camera is seen. The
// closing sea takes over at 178 s although the metaballs' slot runs to 178.55:
// the sea clears the screen over them.
struct SceneShots {
    float start, end;
    std::vector<ShotKey> (*shots)();
};

const SceneShots kScenes[] = {
    {0.0f, 25.55f, CameraShots::openingSea},    {25.55f, 49.78f, CameraShots::city},
    {49.78f, 82.55f, CameraShots::clouds},      {82.55f, 106.55f, CameraShots::secondSea},
    {106.55f, 130.55f, CameraShots::greetings}, {130.55f, 154.55f, CameraShots::planet},
    {154.55f, 178.0f, CameraShots::metaballs},  {178.0f, 189.9f, CameraShots::closingSea},
};

// Controllers show linear interpolation between keys; keys every quarter second
// follow the smooth shot curves closely, and a key a millisecond before each
// scene change turns the step to the next scene into a cut.
constexpr float kKeyStep = 0.25f;
constexpr float kCutGap = 0.001f;

} // namespace

void writeCameraBank(OutputFolder& folder) {
    // Keys are made in time order, so they are appended rather than added one
    // sorting pass at a time.
    CameraTrack tracks[trackBankSize];
    auto key = [&](int track, const Vec3& value, float time) {
        CameraKey k;
        k.setPosition(value);
        k.time = time;
        k.mode = 1;
        tracks[track].append(k);
    };
    for (const SceneShots& scene : kScenes) {
        const std::vector<ShotKey> shots = scene.shots();
        const float length = scene.end - scene.start;
        for (float local = 0.0f;; local += kKeyStep) {
            const bool last = local >= length - kCutGap;
            const float at = last ? length - kCutGap : local;
            const ShotKey pose = interpolateShot(shots, at);
            key(0, pose.eye, scene.start + at);
            key(1, pose.target, scene.start + at);
            if (local == 0.0f || last)
                key(2, Vec3(0, 0, -1), scene.start + at);
            if (last)
                break;
        }
    }
    folder.write("data/tracks/1.crg", encodeTrackBank(tracks));
}
