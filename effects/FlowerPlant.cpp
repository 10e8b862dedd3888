#include "effects/FlowerPlant.h"

#include "platform/Random.h"

#include <cmath>

namespace {

// Cubic sampling for the tubes and the children's starting points.
constexpr int cubicMode = 3;

// Children born more than this many growth units before the window has passed
// are gone from the picture, with everything that grows out of them.
constexpr float childLifetime = 5.0f;

float draw() {
    return Random::signedUnit();
}

// The unit vector along v; a zero vector has no direction and keeps fallback.
Vec3 directionOr(const Vec3& v, const Vec3& fallback) {
    return length(v) > 0.0f ? normalize(v) : fallback;
}

} // namespace

Branch::~Branch() {
    for (int i = 0; i < children.count; ++i) {
        delete children.data[i];
    }
}

void Branch::shape(const GrowthRecord& p) {
    speed = p.speed;
    childCount = p.children;
    tip = nullptr;

    shade = draw();
    const float curl = 0.1f * p.curl * draw();
    const float axisY = draw();
    const float axisX = draw();
    const float axisZ = draw();
    // A zero axis turns nothing (rotateAboutAxis keeps the vector as it is).
    const Vec3 axis(axisX, axisY, axisZ);

    start = p.start;
    Vec3 position = p.start;
    if (p.segments > 0) {
        const Vec3 step = p.direction * p.segmentLength;
        const float wobble = static_cast<float>(p.levels * p.levels) * p.wobble;
        for (int i = 0; i < p.segments; ++i) {
            addKey(position.x, position.y, position.z, static_cast<float>(count), 1);
            position = position + step;
            const float e1 = draw();
            const float e2 = draw();
            const float e3 = draw();
            position = position + Vec3(wobble * e2, wobble * e1, wobble * e3);
            // The whole path so far turns about the branch's start: it curls.
            Vec3 fromStart = position - start;
            rotateAboutAxis(fromStart, axis, curl);
            position = start + fromStart;
        }
    }

    build(p.sides, p.ringsPerSegment * p.segments, p.radius, cubicMode, 0.0f, -1.0f);
}

void Branch::branchOut(const GrowthRecord& p, const std::function<void(int done)>& grown) {
    if (p.levels < 1) {
        if (draw() < p.tipThreshold) {
            tip = p.tipMarker;
        }
        return;
    }

    GrowthRecord record = p;
    record.sides = p.sides > 4 ? p.sides - 1 : p.sides;
    record.ringsPerSegment = p.ringsPerSegment > 5 ? p.ringsPerSegment - 1 : p.ringsPerSegment;
    record.levels = p.levels - 1;
    record.radius = p.radius * p.radiusRatio;
    record.segmentLength = p.segmentLength * p.segmentLengthRatio;
    record.curl = p.curl * p.curlRatio;
    record.speed = p.speed * p.speedRatio;

    for (int k = 0; k < childCount; ++k) {
        const float dx = draw();
        const float dy = draw();
        const float dz = draw();
        // A spread that cancels the direction exactly leaves the parent's.
        record.direction = directionOr(p.direction + Vec3(dx, dy, dz) * p.spread, p.direction);

        sort();
        const float lastTime = count > 0 ? data[count - 1].time : 0.0f;
        // In floating point: every child starts at its own share of the path.
        const float at = static_cast<float>(k) / static_cast<float>(childCount) * lastTime;
        record.start = sample(at, cubicMode);

        Branch* child = new Branch();
        child->birth = at + birth;
        child->shape(record);
        child->branchOut(record);
        children.append(child);
        if (grown) {
            grown(k + 1);
        }
    }
}

Branch* growPlant(FlowerHeads* heads, const std::function<void(float done)>& progress) {
    GrowthRecord stem;
    stem.children = 30;
    stem.ringsPerSegment = 40;
    stem.segmentLength = 20.0f;
    stem.speed = 1.0f;
    stem.wobble = 0.3f;
    GrowthRecord branches;
    branches.tipMarker = heads;

    Branch* plant = new Branch();
    plant->birth = 0.0f;
    plant->shape(stem);
    plant->branchOut(branches, [&](int done) {
        if (progress) {
            progress(static_cast<float>(done) / static_cast<float>(plant->childCount));
        }
    });
    return plant;
}

int branchCount(const Branch& branch) {
    int total = 1;
    for (int i = 0; i < branch.children.count; ++i) {
        total += branchCount(*branch.children.data[i]);
    }
    return total;
}

int markedTipCount(const Branch& branch) {
    int total = branch.tip != nullptr && branch.children.count == 0 ? 1 : 0;
    for (int i = 0; i < branch.children.count; ++i) {
        total += markedTipCount(*branch.children.data[i]);
    }
    return total;
}

Matrix4 operator*(const Matrix4& a, const Matrix4& b) {
    Matrix4 r;
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) {
                sum += a.m[k * 4 + row] * b.m[column * 4 + k];
            }
            r.m[column * 4 + row] = sum;
        }
    }
    return r;
}

namespace {

Matrix4 identity() {
    return {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
}

// glRotatef's matrix about a unit axis.
Matrix4 rotation(float degrees, float x, float y, float z) {
    const float radians = degrees * 3.14159265358979f / 180.0f;
    const float c = std::cos(radians), s = std::sin(radians), k = 1.0f - c;
    return {{x * x * k + c, y * x * k + z * s, x * z * k - y * s, 0, x * y * k - z * s,
             y * y * k + c, y * z * k + x * s, 0, x * z * k + y * s, y * z * k - x * s,
             z * z * k + c, 0, 0, 0, 0, 1}};
}

} // namespace

Matrix4 tipPlacement(const Vec3& p, float shade, float to, float t) {
    float k = (to - t) * 0.02f;
    if (k > 1.0f) {
        k = 1.0f;
    }
    const float size = (std::fabs(shade) + 0.3f) * k * 0.05f;
    Matrix4 placement = identity();
    placement.m[12] = p.x;
    placement.m[13] = p.y;
    placement.m[14] = p.z;
    Matrix4 scaled = identity();
    scaled.m[0] = size;
    scaled.m[5] = size;
    scaled.m[10] = -size;
    return placement * scaled * rotation(shade * 200.0f, 1, 0, 0) *
           rotation(shade * 100.0f, 0, 1, 0);
}

void PlantFrame::reserveFor(const Branch& plant) {
    ranges.reserve(branchCount(plant));
    // The lists of a thousand matrices grow if a plant ever has more marked tips.
    const int tips = markedTipCount(plant);
    heads.reserve(tips > 1000 ? tips : 1000);
    leaves.reserve(tips > 1000 ? tips : 1000);
}

void PlantFrame::clear() {
    ranges.count = 0;
    heads.count = 0;
    leaves.count = 0;
}

void walkPlant(const Branch& branch, float from, float to, const Matrix4& modelview,
               PlantFrame& frame) {
    const float ownFrom = (from - branch.birth) * branch.speed;
    const float ownTo = (to - branch.birth) * branch.speed;

    int first = 0, end = 0;
    branch.indexRange(ownFrom - branch.birth, ownTo - branch.birth, &first, &end);
    if (end > first) {
        frame.ranges.append({&branch, ownFrom - branch.birth, ownTo - branch.birth});
    }

    for (int i = 0; i < branch.children.count; ++i) {
        const Branch& child = *branch.children.data[i];
        if (child.birth + childLifetime > ownFrom) {
            walkPlant(child, ownFrom, ownTo, modelview, frame);
        }
    }

    if (branch.tip != nullptr && branch.children.count == 0 && branch.count > 0) {
        const CameraKey& last = branch.data[branch.count - 1];
        if (ownTo > last.time && ownFrom < last.time) {
            const Matrix4 model =
                modelview * tipPlacement(last.position(), branch.shade, ownTo, last.time);
            (branch.shade < 0.0f ? frame.heads : frame.leaves).append(model);
        }
    }
}
