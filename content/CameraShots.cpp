#include "content/CameraShots.h"

#include "content/Models.h"
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

// The greetings scene draws its names scaled by 0.13, moved 500 down the row and
// each name 200 a place along it, and turns everything 90 degrees about x.
Vec3 greetingsWorld(const Vec3& p, float place) {
    const float z = p.z + 200.0f * place - 500.0f;
    return {0.13f * p.x, -0.13f * z, 0.13f * p.y};
}

// One random walk of the greetings' layout: the draws and the arithmetic exactly
// as the scene builds a letter and its children (a step of 200 along one axis
// blurred by up to 100.2, then the rest of the word, then the decoy's letter and
// the decoy's own walk). Only the lengths matter, not the letters.
void walkLetters(int length, int decoys, bool isLetter, const Vec3& base,
                 std::vector<Vec3>& letters, std::vector<Vec3>& decoyLetters) {
    const int k = Random::next() % 6;
    Vec3 d;
    d.x = Random::signedUnit() * 100.2f;
    d.y = Random::signedUnit() * 100.2f;
    d.z = Random::signedUnit() * 100.2f;
    const float push[6][3] = {{200, 0, 0},  {-200, 0, 0}, {0, 200, 0},
                              {0, -200, 0}, {0, 0, 200},  {0, 0, -200}};
    d += Vec3(push[k][0], push[k][1], push[k][2]);
    const Vec3 position = base + d;
    (isLetter ? letters : decoyLetters).push_back(position);
    if (length > 1)
        walkLetters(length - 1, decoys, true, position, letters, decoyLetters);
    if (decoys > 0) {
        Random::next(); // the decoy's letter
        walkLetters(1, decoys - 1, false, position, letters, decoyLetters);
    }
}

constexpr float kTanHalfView = 1.7320508f; // the scene sees 120 degrees high
constexpr float kAspect = 4.0f / 3.0f;
// A popped letter's glyph, in world units (it is 57% of its 1100-unit quad).
constexpr float kPoppedGlyph = 10.6f;
const Vec3 kSun(1000, -1000, 100);

struct Projected {
    float x, y, depth; // x and y -1 to 1 across the screen
};

Projected project(const ShotKey& pose, const Vec3& p) {
    const Vec3 forward = normalize(pose.target - pose.eye);
    const Vec3 right = normalize(cross(forward, Vec3(0, 0, -1)));
    const Vec3 up = cross(right, forward);
    const Vec3 d = p - pose.eye;
    const float depth = dot(d, forward);
    const float scale = std::max(depth, 0.01f) * kTanHalfView;
    return {dot(d, right) / (scale * kAspect), dot(d, up) / scale, depth};
}

bool insideBand(const Vec3& p, const GreetingRing& ring, float margin) {
    const Vec3 d = p - ring.centre;
    const float along = dot(d, ring.axis);
    const float across = length(d - ring.axis * along);
    return std::fabs(along) < ring.halfWidth + margin && across > ring.inner - margin &&
           across < ring.outer + margin;
}

bool insideRing(const Vec3& p, const std::vector<GreetingRing>& rings, float margin) {
    for (const GreetingRing& ring : rings)
        if (insideBand(p, ring, margin))
            return true;
    return false;
}

bool ringBetween(const Vec3& eye, const Vec3& p, const std::vector<GreetingRing>& rings) {
    for (const GreetingRing& ring : rings) {
        const float from = dot(eye - ring.centre, ring.axis), to = dot(p - ring.centre, ring.axis);
        if ((from > ring.halfWidth && to > ring.halfWidth) ||
            (from < -ring.halfWidth && to < -ring.halfWidth))
            continue; // both on one side of its band
        for (int i = 1; i < 24; ++i)
            if (insideBand(eye + (p - eye) * (i / 24.0f), ring, 0.0f))
                return true;
    }
    return false;
}

// How badly a pose shows letter p while it pops: off the screen's middle, too
// small or too large, behind a ring or another letter, or with letters or rings
// brushing the lens.
float poseCost(const ShotKey& pose, const Vec3& p, const std::vector<Vec3>& everyNode,
               const std::vector<GreetingRing>& rings) {
    const Projected at = project(pose, p);
    if (at.depth < 2.0f)
        return 100.0f;
    float cost = 0;
    cost += 25.0f * std::max(0.0f, std::max(std::fabs(at.x), std::fabs(at.y)) - 0.5f);
    const float pixels = kPoppedGlyph / (at.depth * 2 * kTanHalfView) * 600;
    cost += 0.4f * std::max(0.0f, 80.0f - pixels) + 0.1f * std::max(0.0f, pixels - 150.0f);
    const Vec3 ray = normalize(p - pose.eye);
    const float distance = length(p - pose.eye);
    for (const Vec3& q : everyNode) {
        if (length(q - p) < 1e-3f)
            continue; // the popping letter itself
        const Vec3 toQ = q - pose.eye;
        const float along = dot(toQ, ray);
        const float off = length(toQ - ray * along);
        // A letter in front of the popping one hides it behind its halo. Letters
        // are drawn pulled a little towards the eye, so one not far behind it
        // cuts its square into the popping letter as well.
        if (along > 0.5f && along < distance * 1.4f && off < 10.0f * along / distance)
            cost += 40.0f;
        // The popping letter is drawn 2.75 times its resting size: it should be
        // the largest on the screen, so no other letter in view may be much
        // nearer. None at all may brush the lens.
        if (along > 0.0f && off < along * 2.0f) {
            const float qDistance = length(toQ);
            cost += 3.0f * std::max(0.0f, std::max(10.0f, distance * 0.7f) - qDistance);
            if (qDistance < 6.0f)
                cost += 60.0f;
        }
    }
    if (insideRing(pose.eye, rings, 10.0f))
        cost += 15.0f;
    // The whole popped letter must be clear of the rings, not only its middle.
    const Vec3 right = normalize(cross(ray, Vec3(0, 0, -1)));
    const Vec3 up = cross(right, ray);
    for (const Vec3& edge : {Vec3(), right * 6.0f, right * -6.0f, up * 6.0f, up * -6.0f})
        if (ringBetween(pose.eye, p + edge, rings))
            cost += 8.0f;
    return cost;
}

// Where the camera looks while letter j pops: the letter, pulled a little
// towards its neighbours so that the camera does not jerk four times a second.
Vec3 lookPoint(const std::vector<Vec3>& letters, size_t j) {
    const Vec3& before = letters[j > 0 ? j - 1 : j];
    const Vec3& after = letters[j + 1 < letters.size() ? j + 1 : j];
    return before * 0.25f + letters[j] * 0.5f + after * 0.25f;
}

void addNameKeys(std::vector<ShotKey>& keys, const GreetingLayout& name, const Vec3& view,
                 float distance) {
    const float first = name.place / 4;
    const float last = (name.place + name.letters.size()) / 4;
    keys.push_back(
        {first, lookPoint(name.letters, 0) - view * distance, lookPoint(name.letters, 0)});
    for (size_t j = 0; j < name.letters.size(); ++j) {
        const Vec3 look = lookPoint(name.letters, j);
        keys.push_back({(name.place + j + 0.5f) / 4, look - view * distance, look});
    }
    keys.push_back({last, keys.back().eye, keys.back().target});
}

} // namespace

std::vector<GreetingLayout> greetingLayout() {
    const int lengths[8] = {13, 10, 7, 7, 3, 15, 9, 10};
    std::vector<GreetingLayout> names;
    Random::seed(23);
    float place = 0;
    for (int length : lengths) {
        GreetingLayout name;
        name.place = place;
        walkLetters(length, 2, true, Vec3(), name.letters, name.decoys);
        for (Vec3& p : name.letters)
            p = greetingsWorld(p, place);
        for (Vec3& p : name.decoys)
            p = greetingsWorld(p, place);
        names.push_back(name);
        place += length + 2;
    }
    return names;
}

std::vector<GreetingRing> greetingRings(float time) {
    // The scene draws the rings' speeds afresh from seed 1 every frame.
    Random::seed(1);
    std::vector<GreetingRing> rings;
    for (int k = 0; k < 30; ++k) {
        const float zk = -50.0f + 15.0f * k;
        const float size = k % 2 == 1 ? 5.5f * 1.5f : 5.5f;
        const float a = Random::signedUnit();
        const float b = Random::signedUnit();
        const float turn = (100.0f * a * b + 30.0f) * time * kDegrees;
        const Vec3 spinAxis(0.03f * std::sin(0.8f * k + time + 1.2f), 0.03f * std::sin(k + time),
                            1.0f);
        Vec3 centre(0, 0, zk), axis(0, 0, 1);
        // GL turns counter-clockwise about the axis, rotateAboutAxis the other way.
        rotateAboutAxis(centre, spinAxis, -turn);
        rotateAboutAxis(axis, spinAxis, -turn);
        if (k % 2 == 1) {
            centre = Vec3(-centre.x, -centre.y, centre.z);
            axis = Vec3(-axis.x, -axis.y, axis.z);
        }
        centre = centre * size;
        rings.push_back({Vec3(centre.x, -centre.z, centre.y), Vec3(axis.x, -axis.z, axis.y),
                         Models::ringSize.inner * size, Models::ringSize.outer * size,
                         Models::ringSize.halfWidth * size});
    }
    return rings;
}

namespace {

// What the controllers show at time t: the camera bank keeps a sample of the
// shots every quarter second and moves in straight lines between them.
ShotKey seenPose(const std::vector<ShotKey>& keys, float t) {
    const float step = 0.25f;
    const float before = std::floor(t / step) * step;
    const float u = (t - before) / step;
    const ShotKey a = interpolateShot(keys, before), b = interpolateShot(keys, before + step);
    return {t, a.eye * (1 - u) + b.eye * u, a.target * (1 - u) + b.target * u};
}

// How badly the shots show letters first to last of a name while they pop, at
// the start, middle and end of each letter's quarter second.
float popCost(const std::vector<ShotKey>& keys, const GreetingLayout& name, size_t first,
              size_t last, const std::vector<Vec3>& everyNode,
              const std::vector<std::vector<GreetingRing>>& rings) {
    float cost = 0;
    for (size_t j = first; j <= last; ++j)
        for (int f = 0; f < 3; ++f) {
            const float t = (name.place + j + 0.25f * (f + 1)) / 4;
            cost += poseCost(seenPose(keys, t), name.letters[j], everyNode, rings[j * 3 + f]);
        }
    return cost;
}

// How badly the camera brushes past letters and rings between two times.
float sweepCost(const std::vector<ShotKey>& keys, float from, float to,
                const std::vector<Vec3>& everyNode) {
    float cost = 0;
    for (float t = from; t < to; t += 0.05f) {
        const ShotKey pose = seenPose(keys, t);
        if (insideRing(pose.eye, greetingRings(t), 6.0f))
            cost += 10.0f;
        for (const Vec3& q : everyNode)
            cost += 2.0f * std::max(0.0f, 10.0f - length(q - pose.eye));
    }
    return cost;
}

} // namespace

// Following each name letter by letter while it pops, from the side that shows
// its letters best (spread out, running left to right, nothing in front, clear
// of the spinning rings, the sun in view where it can be), and sweeping down the
// row of rings to the next name in the pause between them.
std::vector<ShotKey> greetings() {
    const std::vector<GreetingLayout> names = greetingLayout();
    std::vector<Vec3> everyNode;
    for (const GreetingLayout& name : names) {
        everyNode.insert(everyNode.end(), name.letters.begin(), name.letters.end());
        everyNode.insert(everyNode.end(), name.decoys.begin(), name.decoys.end());
    }
    std::vector<ShotKey> keys;
    for (const GreetingLayout& name : names) {
        const size_t count = name.letters.size();
        std::vector<std::vector<GreetingRing>> rings;
        for (size_t j = 0; j < count; ++j)
            for (float f : {0.25f, 0.5f, 0.75f})
                rings.push_back(greetingRings((name.place + j + f) / 4));

        // One side for the whole name.
        float bestCost = 0;
        std::vector<ShotKey> best;
        for (int azimuth = 0; azimuth < 360; azimuth += 15)
            for (int elevation = -45; elevation <= 45; elevation += 15)
                for (float distance : {20.0f, 25.0f, 30.0f, 36.0f}) {
                    const float az = azimuth * kDegrees, el = elevation * kDegrees;
                    const Vec3 view(std::cos(el) * std::cos(az), std::cos(el) * std::sin(az),
                                    std::sin(el));
                    std::vector<ShotKey> candidate = keys;
                    addNameKeys(candidate, name, view, distance);
                    float cost = popCost(candidate, name, 0, count - 1, everyNode, rings);
                    if (!keys.empty())
                        cost += sweepCost(candidate, keys.back().time, name.place / 4, everyNode);
                    // Letters that follow each other from left to right read best.
                    const Vec3 right = normalize(cross(view, Vec3(0, 0, -1)));
                    for (size_t j = 0; j + 1 < count; ++j)
                        cost -= 0.05f * dot(name.letters[j + 1] - name.letters[j], right);
                    cost -= 4.0f * dot(view, normalize(kSun - name.letters[0]));
                    if (best.empty() || cost < bestCost) {
                        bestCost = cost;
                        best = candidate;
                    }
                }

        // Then swing the eye around each letter where something still stands in
        // the way, as little as will do.
        const size_t firstKey = best.size() - count - 1;
        for (size_t j = 0; j < count; ++j) {
            const size_t from = j > 0 ? j - 1 : 0, to = std::min(j + 1, count - 1);
            ShotKey& key = best[firstKey + j];
            const Vec3 eye = key.eye;
            const Vec3 back = eye - key.target;
            const Vec3 side = normalize(cross(back, Vec3(0, 0, -1)));
            Vec3 chosen = eye;
            float lowest = popCost(best, name, from, to, everyNode, rings);
            for (float yaw : {-40.0f, -20.0f, 0.0f, 20.0f, 40.0f})
                for (float pitch : {-40.0f, -20.0f, 0.0f, 20.0f, 40.0f})
                    for (float reach : {0.8f, 1.0f, 1.25f}) {
                        Vec3 swung = back * reach;
                        rotateAboutAxis(swung, side, pitch * kDegrees);
                        rotateAboutAxis(swung, Vec3(0, 0, 1), yaw * kDegrees);
                        key.eye = key.target + swung;
                        if (j == 0)
                            best[firstKey - 1].eye = key.eye; // arriving where it is seen
                        const float cost = popCost(best, name, from, to, everyNode, rings) +
                                           0.2f * length(key.eye - eye);
                        if (cost < lowest) {
                            lowest = cost;
                            chosen = key.eye;
                        }
                    }
            key.eye = chosen;
            if (j == 0)
                best[firstKey - 1].eye = chosen;
        }
        best.back().eye = best[best.size() - 2].eye;
        keys = best;
    }

    // Drawing back from the last name until the scene ends, to a view of its
    // chain with the sun, clear of the rings.
    const GreetingLayout& lastName = names.back();
    Vec3 centre;
    for (const Vec3& p : lastName.letters)
        centre += p * (1.0f / lastName.letters.size());
    const float end = 24.0f, from = keys.back().time;
    float bestCost = 0;
    ShotKey bestEnd{};
    bool first = true;
    for (int azimuth = 0; azimuth < 360; azimuth += 15)
        for (int elevation = -30; elevation <= 30; elevation += 15)
            for (float distance : {45.0f, 60.0f, 75.0f}) {
                const float az = azimuth * kDegrees, el = elevation * kDegrees;
                const Vec3 view(std::cos(el) * std::cos(az), std::cos(el) * std::sin(az),
                                std::sin(el));
                std::vector<ShotKey> candidate = keys;
                candidate.push_back({end, centre - view * distance, centre});
                float cost = sweepCost(candidate, from, end, everyNode);
                for (float t : {from + 0.5f, end - 0.75f, end}) {
                    const ShotKey pose = seenPose(candidate, t);
                    const std::vector<GreetingRing> around = greetingRings(t);
                    for (const Vec3& p : lastName.letters) {
                        const Projected at = project(pose, p);
                        if (at.depth < 2.0f || std::max(std::fabs(at.x), std::fabs(at.y)) > 0.85f)
                            cost += 3.0f;
                        else if (ringBetween(pose.eye, p, around))
                            cost += 2.0f;
                    }
                    const Projected sun = project(pose, kSun);
                    if (sun.depth > 0 && std::fabs(sun.x) < 0.8f && std::fabs(sun.y) < 0.8f)
                        cost -= 10.0f;
                }
                if (first || cost < bestCost) {
                    first = false;
                    bestCost = cost;
                    bestEnd = candidate.back();
                }
            }
    keys.push_back(bestEnd);
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
