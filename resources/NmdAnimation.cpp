#include "resources/NmdAnimation.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The keys to blend at t and how far between them: k0 == k1 means one key's
// value. Returns false when the rest value applies.
template <typename Key>
bool bracket(const std::vector<Key>& keys, float t, size_t& k0, size_t& k1, float& f) {
    if (keys.size() < 2) {
        return false;
    }
    f = 0.0f;
    size_t last = keys.size() - 1;
    if (t >= keys[last].time) {
        k0 = k1 = last;
        return true;
    }
    size_t j = 0;
    while (j < keys.size() && !(keys[j].time > t)) {
        ++j;
    }
    // A time that compares with nothing (NaN) finds no later key: hold the last.
    if (j == keys.size()) {
        k0 = k1 = last;
        return true;
    }
    k0 = j == 0 ? 0 : j - 1;
    k1 = j;
    if (k0 != k1) {
        f = (t - keys[k0].time) / (keys[k1].time - keys[k0].time);
    }
    return true;
}

} // namespace

void evaluatePositionTrack(const std::vector<NmdVectorKey>& keys, float t, const float rest[3],
                           float out[3]) {
    size_t k0, k1;
    float f;
    if (!bracket(keys, t, k0, k1, f)) {
        std::copy(rest, rest + 3, out);
        return;
    }
    for (int c = 0; c < 3; ++c) {
        float a = keys[k0].value[c];
        out[c] = k0 == k1 ? a : a + (keys[k1].value[c] - a) * f;
    }
}

void evaluateRotationTrack(const std::vector<NmdRotationKey>& keys, float t, const float rest[4],
                           float out[4]) {
    size_t k0, k1;
    float f;
    if (!bracket(keys, t, k0, k1, f)) {
        std::copy(rest, rest + 4, out);
        return;
    }
    const float* q0 = keys[k0].value;
    if (k0 == k1) {
        std::copy(q0, q0 + 4, out);
        return;
    }
    float q1[4];
    std::copy(keys[k1].value, keys[k1].value + 4, q1);
    float d = q0[0] * q1[0] + q0[1] * q1[1] + q0[2] * q1[2] + q0[3] * q1[3];
    if (d < 0.0f) {
        for (float& c : q1) {
            c = -c;
        }
        d = -d;
    }
    d = std::min(d, 1.0f);
    float theta = std::acos(d);
    float sinTheta = std::sin(theta);
    if (std::fabs(sinTheta) > 0.0001f) {
        float w0 = std::sin((1.0f - f) * theta) / sinTheta;
        float w1 = std::sin(f * theta) / sinTheta;
        for (int c = 0; c < 4; ++c) {
            out[c] = q0[c] * w0 + q1[c] * w1;
        }
    } else {
        std::copy(q0, q0 + 4, out);
    }
}

NodeTransform nodeTransformAt(const NmdNode& node, float t) {
    float position[3], rotation[4], scale[3];
    evaluatePositionTrack(node.positionKeys, t, node.position, position);
    evaluateRotationTrack(node.rotationKeys, t, node.rotation, rotation);
    evaluatePositionTrack(node.scaleKeys, t, node.scale, scale);

    NodeTransform transform;
    transform.translation[0] = position[0];
    transform.translation[1] = position[2];
    transform.translation[2] = -position[1];
    transform.scale[0] = scale[0];
    transform.scale[1] = scale[2];
    transform.scale[2] = scale[1];

    float x = rotation[0], y = rotation[1], z = rotation[2], w = rotation[3];
    float angle = 2.0f * std::acos(w);
    if (angle < 0.00001f) {
        transform.angleDegrees = angle;
        transform.axis[0] = 1.0f;
        transform.axis[1] = 0.0f;
        transform.axis[2] = 0.0f;
    } else {
        float s = 1.0f / std::sqrt(1.0f - w * w);
        transform.axis[0] = x * s;
        transform.axis[1] = z * s;
        transform.axis[2] = -y * s;
        transform.angleDegrees = angle * -57.29579f;
    }
    return transform;
}

namespace {

// An axis-aligned box; empty while low lies above high.
struct Box {
    float low[3] = {std::numeric_limits<float>::infinity(), std::numeric_limits<float>::infinity(),
                    std::numeric_limits<float>::infinity()};
    float high[3] = {-std::numeric_limits<float>::infinity(),
                     -std::numeric_limits<float>::infinity(),
                     -std::numeric_limits<float>::infinity()};

    bool empty() const { return !(low[0] <= high[0]); }
    void include(const float p[3]) {
        for (int c = 0; c < 3; ++c) {
            low[c] = std::min(low[c], p[c]);
            high[c] = std::max(high[c], p[c]);
        }
    }
    void include(const Box& other) {
        if (!other.empty()) {
            include(other.low);
            include(other.high);
        }
    }
};

// The values a track can take: its keys, or the rest value when it has fewer
// than two (tracks interpolate between keys and hold the end values).
template <typename Visit>
void trackValues(const std::vector<NmdVectorKey>& keys, const float rest[3], Visit visit) {
    if (keys.size() < 2) {
        visit(rest);
        return;
    }
    for (const NmdVectorKey& key : keys) {
        visit(key.value);
    }
}

template <typename Key> bool holdsOneValue(const std::vector<Key>& keys) {
    for (const Key& key : keys) {
        if (!std::equal(std::begin(key.value), std::end(key.value), keys[0].value)) {
            return false;
        }
    }
    return true;
}

// The box, in the frame a node is drawn into, that the node and its children
// fill at any time.
Box placedBox(const NmdNode& node) {
    Box content;
    if (node.mesh) {
        const std::vector<float>& p = node.mesh->positions;
        for (size_t i = 0; i + 2 < p.size(); i += 3) {
            content.include(&p[i]);
        }
    }
    for (const auto& child : node.children) {
        content.include(placedBox(*child));
    }
    if (content.empty()) {
        return content;
    }

    // The content turned and stretched about the node's origin.
    float centre[3], extent[3];
    for (int c = 0; c < 3; ++c) {
        centre[c] = 0.5f * (content.low[c] + content.high[c]);
        extent[c] = 0.5f * (content.high[c] - content.low[c]);
    }
    float reach[3];
    float middle[3] = {0.0f, 0.0f, 0.0f};
    // One turn and one stretch for all time take the box's corners exactly
    // where the axis is long enough to tell GL which way to turn.
    const NodeTransform at = nodeTransformAt(node, 0.0f);
    const float* a = at.axis;
    const float norm = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
    if (holdsOneValue(node.rotationKeys) && holdsOneValue(node.scaleKeys) && norm > 1e-3f) {
        const float x = a[0] / norm, y = a[1] / norm, z = a[2] / norm;
        const float radians = at.angleDegrees * 0.017453292f;
        const float co = std::cos(radians), si = std::sin(radians), k = 1.0f - co;
        const float turn[3][3] = {{x * x * k + co, x * y * k - z * si, x * z * k + y * si},
                                  {y * x * k + z * si, y * y * k + co, y * z * k - x * si},
                                  {x * z * k - y * si, y * z * k + x * si, z * z * k + co}};
        for (int r = 0; r < 3; ++r) {
            reach[r] = 0.0f;
            for (int c = 0; c < 3; ++c) {
                const float m = turn[r][c] * at.scale[c];
                middle[r] += m * centre[c];
                reach[r] += std::fabs(m) * extent[c];
            }
        }
    } else {
        // Turning, stretching or turning no clear way: a ball around the origin
        // at the content's farthest corner, at the largest stretch.
        float largest = 0.0f;
        trackValues(node.scaleKeys, node.scale, [&](const float* s) {
            for (int c = 0; c < 3; ++c) {
                largest = std::max(largest, std::fabs(s[c]));
            }
        });
        float farthest = 0.0f;
        for (int c = 0; c < 3; ++c) {
            const float m = std::fabs(centre[c]) + extent[c];
            farthest += m * m;
        }
        for (float& r : reach) {
            r = std::sqrt(farthest) * largest;
        }
    }

    // Moved along its track: (x, z, -y) of the file's positions.
    Box placed;
    bool finite = true;
    trackValues(node.positionKeys, node.position, [&](const float* p) {
        const float drawn[3] = {p[0], p[2], -p[1]};
        float low[3], high[3];
        for (int c = 0; c < 3; ++c) {
            low[c] = drawn[c] + middle[c] - reach[c];
            high[c] = drawn[c] + middle[c] + reach[c];
            finite = finite && std::isfinite(low[c]) && std::isfinite(high[c]);
        }
        placed.include(low);
        placed.include(high);
    });
    // A value that is no number could land anywhere: the box takes in everything.
    if (!finite) {
        for (int c = 0; c < 3; ++c) {
            placed.low[c] = -std::numeric_limits<float>::infinity();
            placed.high[c] = std::numeric_limits<float>::infinity();
        }
        return placed;
    }
    // Rounding in the transforms stays far inside this margin.
    for (int c = 0; c < 3; ++c) {
        const float margin =
            1e-3f + 1e-4f * std::max(std::fabs(placed.low[c]), std::fabs(placed.high[c]));
        placed.low[c] -= margin;
        placed.high[c] += margin;
    }
    return placed;
}

} // namespace

NmdBounds animatedBounds(const std::vector<std::unique_ptr<NmdNode>>& nodes) {
    Box all;
    for (const auto& node : nodes) {
        all.include(placedBox(*node));
    }
    NmdBounds bounds;
    std::copy(all.low, all.low + 3, bounds.min);
    std::copy(all.high, all.high + 3, bounds.max);
    return bounds;
}
