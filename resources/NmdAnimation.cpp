#include "resources/NmdAnimation.h"

#include <algorithm>
#include <cmath>

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
