#include "content/CameraShots.h"

#include "content/Noise.h"
#include "content/TrailPath.h"
#include "platform/Random.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kDegrees = 3.14159265f / 180.0f;

Vec3 onCircle(const Vec3& centre, float radius, float degrees, float z) {
    return {centre.x + radius * std::cos(degrees * kDegrees),
            centre.y + radius * std::sin(degrees * kDegrees), z};
}

// Where a camera over the opening or closing sea looks so that the sun (the
// light at (-100, -100, 0)) shows at sunX across the screen in device units,
// with the view tilted up by pitch degrees; 0.5523 is tan(22.5 degrees) times
// the aspect 1.3333, half the width of the 45-degree view at unit distance.
Vec3 seaTarget(const Vec3& eye, float sunX, float pitch) {
    const float heading = std::atan2(-100.0f - eye.y, -100.0f - eye.x) + std::atan(-sunX * 0.5523f);
    return eye + Vec3(std::cos(heading), std::sin(heading), -std::tan(pitch * kDegrees)) * 100.0f;
}

// A shot given as a pose at every time, laid out in keys a quarter second apart.
template <typename Pose> std::vector<ShotKey> seaShot(float length, Pose pose) {
    std::vector<ShotKey> keys;
    for (int k = 0; k * 0.25f < length; ++k)
        keys.push_back(pose(k * 0.25f));
    keys.push_back(pose(length));
    return keys;
}

} // namespace

namespace CameraShots {

// Low over the waves towards the sun that sets beyond the grid's far corner
// (the sea spans 0..199, the sun stands at (-100, -100, 0)), the sun low at the
// left edge, beside the logo. While the picture is dark between logo and title
// the camera turns, so that the sun shows at the right edge, then rises.
std::vector<ShotKey> openingSea() {
    return seaShot(25.55f, [](float t) {
        const Vec3 ahead(-0.727f, -0.686f, 0.0f);
        const float rise = smoothStep(16.5f, 25.55f, t);
        const Vec3 eye = Vec3(184, 168, -9.8f) + ahead * (2.1f * t) + Vec3(0, 0, -13.0f * rise);
        const float sunX =
            -0.72f + 1.44f * smoothStep(11.0f, 16.0f, t) + 0.08f * smoothStep(16.0f, 25.55f, t);
        return ShotKey{t, eye, seaTarget(eye, sunX, 4.5f - 4.0f * rise)};
    });
}

// Chasing the heads of the two trails (at path parameter 5t / 12) down the
// streets, above the low roofs along their path and past the figures, with the
// sun low ahead; then, as the trails climb out of the city, rising after them
// towards the clouds, the city falling away below.
std::vector<ShotKey> city() {
    // The path averaged over a stretch: a chase along it rounds its corners.
    // Before its start the path runs on straight back up the first street.
    auto trailAverage = [](float from, float to) {
        Vec3 sum;
        for (int i = 0; i < 9; ++i) {
            const float u = from + (to - from) * i / 8.0f;
            sum += u >= 0 ? cityTrailPoint(u)
                          : cityTrailPoint(0) + (cityTrailPoint(0) - cityTrailPoint(1)) * -u;
        }
        return sum * (1.0f / 9.0f);
    };
    std::vector<ShotKey> keys;
    for (float t = 0.0f; t <= 24.25f; t += 0.5f) {
        const float head = 5.0f * t / 12.0f;
        const Vec3 behind = trailAverage(head - 1.5f, head - 0.8f);
        const Vec3 ahead = trailAverage(head, head + 0.6f);
        Vec3 heading = ahead - behind;
        heading.z = 0;
        heading = normalize(heading);
        const Vec3 side(-heading.y, heading.x, 0);
        Vec3 eye = behind + side * (9.0f * std::sin(t * 0.45f));
        eye.z = std::min(behind.z, -16.0f) - 18.0f;
        Vec3 target = ahead;
        target.z = std::min(ahead.z, -12.0f) - 6.0f;

        // The climb: rising over the last streets the trails ran through,
        // looking after them as they leave the city for the clouds, whose
        // underside closes the sky above.
        const float climb = smoothStep(16.0f, 19.0f, t);
        if (climb > 0) {
            const float f = std::clamp((t - 16.0f) / 8.25f, 0.0f, 1.0f);
            const Vec3 riseEye = Vec3(-80, -175, -40) + Vec3(-85, 105, -26) * f;
            Vec3 riseTarget = trailAverage(std::min(head, 10.0f) - 0.5f, std::min(head, 10.0f));
            riseTarget.z = std::max(riseTarget.z, -100.0f);
            eye = eye + (riseEye - eye) * climb;
            target = target + (riseTarget - target) * climb;
        }
        keys.push_back({t, eye, target});
    }
    return keys;
}

// Around the growing flower, the sun behind it: the plant (drawn ten times its
// size) grows as a band some 400 units tall that drifts from (-40, 0, 100)
// towards (60, -130, -40) while the branches open; the camera circles it at a
// distance that keeps all of it in view, among the clouds (x, y within 400).
std::vector<ShotKey> clouds() {
    struct Pose {
        float time;
        Vec3 centre;                        // where the flower is
        float distance, azimuth, elevation; // of the camera from it, degrees; up is -z
    };
    const Pose poses[] = {
        {0.0f, {-40, -5, 40}, 300, 100, -14}, {8.0f, {-45, -25, 90}, 380, 93, -6},
        {16.5f, {-24, -55, 82}, 440, 85, -5}, {20.5f, {-5, -110, 62}, 460, 80, 16},
        {27.0f, {45, -145, 5}, 480, 72, 23},  {32.77f, {65, -120, -45}, 500, 70, 28},
    };
    std::vector<ShotKey> keys;
    for (const Pose& pose : poses) {
        const float e = pose.elevation * kDegrees;
        const Vec3 eye = onCircle(pose.centre, pose.distance * std::cos(e), pose.azimuth,
                                  pose.centre.z - pose.distance * std::sin(e));
        keys.push_back({pose.time, eye, pose.centre});
    }
    return keys;
}

// Low over the endless sea at dusk, the sun on the horizon to the left and the
// flower rising to the right. The second sea draws the flower three times its
// size, turned so that its stem runs along +y from the origin, and the light
// at (-3000, -2000, 0): the camera looks towards it (-x, -y), so the flare
// stays a sun and not a glare from behind. The sea's grid is drawn from grid
// point (50, 50) at the camera's height and heading, its rim laid out to the
// horizon.
std::vector<ShotKey> secondSea() {
    return {{0.0f, {30, 140, -24}, {-25, 0, -50}},
            {12.0f, {0, 132, -29}, {-55, -5, -51}},
            {24.0f, {-30, 125, -34}, {-85, -10, -52}}};
}

namespace {

// Where the greetings' letters float, as the greetings effect lays them out
// when it loads: the engine's generator seeded with 23, one random walk per
// name, lengths 13, 10, 7, 7, 3, 15, 9 and 10, two decoys per letter. Only the
// lengths matter, not the letters. Positions are in the world frame of that
// scene (its names stand scaled by 0.13 and turned by 90 degrees about x).
struct GreetingName {
    float start, end; // when its first and last letters pop, seconds
    Vec3 centre;      // of its letters
};

void walkLetters(int length, int decoys, bool isLetter, const Vec3& base,
                 std::vector<Vec3>& letters) {
    const int k = Random::next() % 6;
    Vec3 d;
    d.x = Random::signedUnit() * 100.2f;
    d.y = Random::signedUnit() * 100.2f;
    d.z = Random::signedUnit() * 100.2f;
    const float push[6][3] = {{200, 0, 0},  {-200, 0, 0}, {0, 200, 0},
                              {0, -200, 0}, {0, 0, 200},  {0, 0, -200}};
    const Vec3 position = base + d + Vec3(push[k][0], push[k][1], push[k][2]);
    if (isLetter)
        letters.push_back(position);
    if (length > 1)
        walkLetters(length - 1, decoys, true, position, letters);
    if (decoys > 0) {
        Random::next(); // the decoy's letter
        walkLetters(1, decoys - 1, false, position, letters);
    }
}

std::vector<GreetingName> greetingNames() {
    const int lengths[8] = {13, 10, 7, 7, 3, 15, 9, 10};
    std::vector<GreetingName> names;
    Random::seed(23);
    float b = 0;
    for (int length : lengths) {
        std::vector<Vec3> letters;
        walkLetters(length, 2, true, Vec3(), letters);
        Vec3 sum;
        for (const Vec3& p : letters) {
            // (x, y, z + 200 b - 500) x 0.13, then turned: (x, -z, y).
            sum += Vec3(0.13f * p.x, -0.13f * (p.z + 200 * b - 500), 0.13f * p.y);
        }
        names.push_back({b / 4, (b + length) / 4, sum * (1.0f / length)});
        b += length + 2;
    }
    return names;
}

} // namespace

// Name by name down the tunnel of rings (along -y, radius 71): the camera
// settles behind each name while its letters pop and sweeps on to the next in
// the pause between them.
std::vector<ShotKey> greetings() {
    std::vector<ShotKey> keys;
    const Vec3 behind(38, 165, -36);
    for (const GreetingName& name : greetingNames()) {
        const float arrive = std::max(0.0f, name.start - 0.1f);
        keys.push_back({arrive, name.centre + behind, name.centre});
        // Drifting a little closer while the name is spelt out.
        keys.push_back({name.end, name.centre + behind * 0.7f + Vec3(-20, 0, 8), name.centre});
    }
    const ShotKey last = keys.back();
    keys.push_back({24.0f, last.eye + Vec3(0, -60, -20), last.target + Vec3(0, -200, 0)});
    return keys;
}

// Around the turning planet, rising to see the snow that falls from above it.
std::vector<ShotKey> planet() {
    std::vector<ShotKey> keys;
    for (int i = 0; i <= 6; ++i) {
        const float t = 24.0f * i / 6;
        keys.push_back(
            {t,
             onCircle({0, 0, 0}, 300.0f - 15.0f * i, 200.0f + 10.0f * i, -70.0f - 12.0f * i),
             {0, 0, -10.0f - 12.0f * i}});
    }
    return keys;
}

// Inside the tunnel of spinning cities, behind the tumbling tori, looking down
// the tunnel while the cities rush at the camera. The tunnel's axis runs along x
// through y = z = 30 and its towers reach to some 45 units from it (its rings
// sway by up to 20); the tori stand around (22, 22, 22) moved by
// (9 sin t, 9 sin 1.2t, 9 sin 1.3t), some 30 units across.
std::vector<ShotKey> metaballs() {
    std::vector<ShotKey> keys;
    for (float t = 0.0f; t <= 24.0f; t += 0.5f) {
        const Vec3 tori(22.0f + 9.0f * std::sin(t), 22.0f + 9.0f * std::sin(1.2f * t),
                        22.0f + 9.0f * std::sin(1.3f * t));
        // Close at first, settling back, swinging in for a closer look while
        // the rings are still true, keeping away once they wobble (from 12 s,
        // when they swell out of their grid), and pulling far back down the
        // tunnel at the end.
        const float close = std::exp(-0.5f * (t - 7.5f) * (t - 7.5f) / 3.0f);
        const float swollen = 1.0f / (1.0f + std::exp(-(t - 12.5f) * 1.5f));
        const float late = std::max(0.0f, t - 19.0f) / 5.0f;
        const float back = 25.0f + 9.0f * (1.0f - std::exp(-t / 2.5f)) - 9.0f * close +
                           3.0f * swollen + 30.0f * late * late;
        // Round the tunnel's axis, swaying over and about the top of it: from
        // below, the camera would look up into the sun.
        const float turn = (275.0f + 55.0f * std::sin(0.22f * t)) * kDegrees;
        const float out = 10.0f + 8.0f * close;
        const Vec3 eye(tori.x - back, 30.0f + out * std::cos(turn), 30.0f + out * std::sin(turn));
        // At the tori, drawn a little towards the tunnel's axis ahead: the tori
        // stay near the middle and the tunnel keeps its depth.
        const Vec3 ahead(tori.x + 40.0f, 30.0f, 30.0f);
        keys.push_back({t, eye, tori * 0.8f + ahead * 0.2f});
    }
    return keys;
}

// Back over the sea, the sun low right of the end picture, drifting back and
// up as the picture fades.
std::vector<ShotKey> closingSea() {
    return seaShot(11.9f, [](float t) {
        const float back = smoothStep(0.0f, 12.5f, t);
        const Vec3 eye = Vec3(152, 146, -11) + Vec3(20, 19, -16) * back;
        return ShotKey{t, eye, seaTarget(eye, 0.78f + 0.12f * back, 5.0f - 4.0f * back)};
    });
}

} // namespace CameraShots

ShotKey interpolateShot(const std::vector<ShotKey>& keys, float time) {
    if (keys.empty())
        return {time, {}, {}};
    if (time <= keys.front().time)
        return {time, keys.front().eye, keys.front().target};
    if (time >= keys.back().time)
        return {time, keys.back().eye, keys.back().target};
    size_t i = 0;
    while (keys[i + 1].time < time)
        ++i;
    const ShotKey& a = keys[i];
    const ShotKey& b = keys[i + 1];
    const float span = b.time - a.time;
    const float u = (time - a.time) / span;
    // Tangents in units per second, scaled to this span; the ends stand still.
    auto tangent = [&](size_t k, Vec3 ShotKey::*field) {
        if (k == 0 || k + 1 >= keys.size())
            return Vec3();
        return (keys[k + 1].*field - keys[k - 1].*field) *
               (1.0f / (keys[k + 1].time - keys[k - 1].time));
    };
    const float h00 = 2 * u * u * u - 3 * u * u + 1, h10 = u * u * u - 2 * u * u + u;
    const float h01 = -2 * u * u * u + 3 * u * u, h11 = u * u * u - u * u;
    auto curve = [&](Vec3 ShotKey::*field) {
        return a.*field * h00 + tangent(i, field) * (h10 * span) + b.*field * h01 +
               tangent(i + 1, field) * (h11 * span);
    };
    return {time, curve(&ShotKey::eye), curve(&ShotKey::target)};
}
