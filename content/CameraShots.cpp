#include "content/CameraShots.h"

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

} // namespace

namespace CameraShots {

// Low over the waves, gliding towards the sun that sets beyond the grid's far
// corner (the sea spans 0..199; the sun stands at (-100, -100)).
std::vector<ShotKey> openingSea() {
    return {{0.0f, {192, 188, -14}, {92, 86, -7}},
            {8.0f, {178, 168, -19}, {62, 58, -5}},
            {16.0f, {166, 158, -25}, {46, 46, -4}},
            {25.55f, {152, 146, -30}, {30, 30, -3}}};
}

// Riding behind the heads of the two growing trails (their tip is at path
// parameter 5t / 12), a little above and to the side, looking ahead of them.
std::vector<ShotKey> city() {
    std::vector<ShotKey> keys;
    for (float t = 0.0f; t <= 24.25f; t += 0.5f) {
        const float head = 5.0f * t / 12.0f;
        const Vec3 behind = cityTrailPoint(head - 0.6f);
        const Vec3 ahead = cityTrailPoint(head + 0.25f);
        const float sway = 14.0f * std::sin(t * 0.35f);
        keys.push_back({t, behind + Vec3(sway, 14.0f, -40.0f), ahead});
    }
    return keys;
}

// A slow arc through the cloud field (x, y within 400 of the centre), pulling
// back and looking up as the flower's stem climbs from the origin towards -z
// (it is drawn ten times its size, a few thousand units tall when grown).
std::vector<ShotKey> clouds() {
    std::vector<ShotKey> keys;
    for (int i = 0; i <= 8; ++i) {
        const float f = i / 8.0f;
        keys.push_back(
            {32.77f * f,
             onCircle({0, 0, 0}, 350.0f + 650.0f * f, 25.0f + 140.0f * f, -60.0f - 600.0f * f),
             {0, 0, -120.0f - 1300.0f * f}});
    }
    return keys;
}

// Beside the flower over the endless sea: the second sea draws it three times
// its size and turned so that its stem runs along +y from the origin. The sea
// grid is drawn around the grid point (50, 50) looking the camera's way, so
// the camera looks towards +x and +y, across the grid's wide side.
std::vector<ShotKey> secondSea() {
    std::vector<ShotKey> keys;
    for (int i = 0; i <= 6; ++i) {
        const float f = i / 6.0f;
        keys.push_back(
            {24.0f * f,
             onCircle({0, 350, 0}, 650.0f - 150.0f * f, 225.0f - 20.0f * f, -30.0f - 40.0f * f),
             {0, 350.0f + 100.0f * f, -50.0f}});
    }
    return keys;
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

// Around the turning planet (radius 71, the north pole towards -z), a little
// above its ring of clouds: in close while the sun, at (500, 500, -200), passes
// behind it, then back out to see the snow that comes down onto the pole from
// 12 s on, the sun now on the other side of the column.
std::vector<ShotKey> planet() {
    struct Pose {
        float time, degrees, distance, elevation, targetZ;
    };
    const Pose poses[] = {
        {0.0f, 185.0f, 430.0f, 4.0f, -10.0f},   {5.0f, 200.0f, 330.0f, 10.0f, -20.0f},
        {9.5f, 222.0f, 280.0f, 14.0f, -30.0f},  {13.0f, 240.0f, 320.0f, 12.0f, -50.0f},
        {18.0f, 256.0f, 360.0f, 11.0f, -60.0f}, {24.0f, 268.0f, 380.0f, 9.0f, -65.0f}};
    std::vector<ShotKey> keys;
    for (const Pose& pose : poses) {
        const float up = pose.elevation * kDegrees;
        keys.push_back({pose.time,
                        onCircle({0, 0, 0}, pose.distance * std::cos(up), pose.degrees,
                                 -pose.distance * std::sin(up)),
                        {0, 0, pose.targetZ}});
    }
    return keys;
}

// Around the tumbling tori at the grid's centre, swinging mostly along the
// tunnel's axis (x): the city pieces spin past at 45 to 130 from that axis, so
// the camera keeps well inside them.
std::vector<ShotKey> metaballs() {
    std::vector<ShotKey> keys;
    const Vec3 centre(22, 22, 22);
    for (int i = 0; i <= 12; ++i) {
        const float t = 24.0f * i / 12;
        const float angle = (180.0f + 8.5f * t) * 3.14159265f / 180.0f;
        keys.push_back({t,
                        {centre.x + 34.0f * std::cos(angle), centre.y + 10.0f * std::sin(angle),
                         14.0f + 6.0f * std::sin(t * 0.4f)},
                        centre});
    }
    return keys;
}

// Back over the sea, pulling away and up as the picture fades.
std::vector<ShotKey> closingSea() {
    return {{0.0f, {124, 132, -22}, {24, 28, -1}},
            {6.0f, {150, 160, -32}, {30, 34, -4}},
            {12.0f, {182, 190, -46}, {44, 46, -10}}};
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
