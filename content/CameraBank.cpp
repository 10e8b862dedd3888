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
//
// Scenes read the camera that the frame before them wrote, so the first frame
// of a scene would show the last camera of the scene before. Each scene's
// camera therefore takes over one frame of the video (30 a second) before its
// slot begins: the frame before the cut still reads the old camera, the first
// frame of the new scene already the new one.
constexpr float kKeyStep = 0.25f;
constexpr float kCutGap = 0.001f;
constexpr float kLead = 1.0f / 30.0f;

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
    const int sceneCount = sizeof kScenes / sizeof kScenes[0];
    for (int i = 0; i < sceneCount; ++i) {
        const SceneShots& scene = kScenes[i];
        const std::vector<ShotKey> shots = scene.shots();
        // Seconds from the slot's start, where this scene's camera is seen.
        const float from = i == 0 ? 0.0f : -kLead;
        const float to = (scene.end - scene.start) - (i + 1 < sceneCount ? kLead : 0.0f) - kCutGap;
        for (float local = from;; local += kKeyStep) {
            const bool last = local >= to;
            const float at = last ? to : local;
            const ShotKey pose = interpolateShot(shots, at);
            key(0, pose.eye, scene.start + at);
            key(1, pose.target, scene.start + at);
            if (local == from || last)
                key(2, Vec3(0, 0, -1), scene.start + at);
            if (last)
                break;
        }
    }
    folder.write("data/tracks/1.crg", encodeTrackBank(tracks));
}
