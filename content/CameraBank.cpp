#include "content/CameraShots.h"
#include "content/ContentGroups.h"
#include "content/OutputFolder.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

struct BankKey {
    Vec3 value;
    float time;
};

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

void appendLe32(std::vector<unsigned char>& out, const void* value) {
    unsigned char bytes[4];
    std::memcpy(bytes, value, 4);
    out.insert(out.end(), bytes, bytes + 4);
}

std::vector<unsigned char> encodeBank(const std::vector<BankKey>* tracks, int trackCount) {
    std::vector<unsigned char> out;
    for (int t = 0; t < 64; ++t) {
        const int32_t count = t < trackCount ? static_cast<int32_t>(tracks[t].size()) : 0;
        appendLe32(out, &count);
        for (int k = 0; k < count; ++k) {
            const BankKey& key = tracks[t][k];
            const int32_t linear = 1;
            appendLe32(out, &key.value.x);
            appendLe32(out, &key.value.y);
            appendLe32(out, &key.value.z);
            appendLe32(out, &key.time);
            appendLe32(out, &linear);
        }
    }
    return out;
}

} // namespace

void writeCameraBank(OutputFolder& folder) {
    std::vector<BankKey> tracks[3];
    for (const SceneShots& scene : kScenes) {
        const std::vector<ShotKey> shots = scene.shots();
        const float length = scene.end - scene.start;
        for (float local = 0.0f;; local += kKeyStep) {
            const bool last = local >= length - kCutGap;
            const float at = last ? length - kCutGap : local;
            const ShotKey pose = interpolateShot(shots, at);
            tracks[0].push_back({pose.eye, scene.start + at});
            tracks[1].push_back({pose.target, scene.start + at});
            if (local == 0.0f || last)
                tracks[2].push_back({Vec3(0, 0, -1), scene.start + at});
            if (last)
                break;
        }
    }
    folder.write("data/tracks/1.crg", encodeBank(tracks, 3));
}
