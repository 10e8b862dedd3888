#include "camera/CameraTrack.h"

#include "platform/EngineError.h"

#include <cmath>
#include <string>

float sphericalScalar = 1.0f;

void CameraTrack::addKey(float x, float y, float z, float time, int32_t mode) {
    CameraKey key;
    key.x = x;
    key.y = y;
    key.z = z;
    key.time = time;
    key.mode = mode;
    append(key);
    sort();
}

void CameraTrack::sort() {
    for (int i = 0; i < count; ++i) {
        for (int j = i + 1; j < count; ++j) {
            if (data[j].time < data[i].time) {
                CameraKey swapped = data[i];
                data[i] = data[j];
                data[j] = swapped;
            }
        }
    }
}

void CameraTrack::removeKey(int index) {
    if (index < 0 || index >= count) {
        throw EngineError("removing key " + std::to_string(index) + " of a track of " +
                          std::to_string(count) + " keys");
    }
    for (int i = index; i + 1 < count; ++i) {
        data[i] = data[i + 1];
    }
    --count;
}

int CameraTrack::keyIndexAt(float t, int offset) const {
    if (count == 0) {
        return -1;
    }
    int last = count - 1;
    if (t >= data[last].time) {
        return last;
    }
    // A time that compares with nothing (not a number) finds no later key and
    // ends up at the last one, like a time past the end.
    int later = count;
    for (int i = 0; i < count; ++i) {
        if (data[i].time > t) {
            later = i;
            break;
        }
    }
    int index = later + offset - 1;
    if (index < 0) {
        index = 0;
    }
    if (index > last) {
        index = last;
    }
    return index;
}

CameraKey CameraTrack::keyAt(float t, int offset) const {
    int index = keyIndexAt(t, offset);
    return index < 0 ? CameraKey() : data[index];
}

float CameraTrack::localParameter(float t) const {
    int a = keyIndexAt(t, 0);
    int b = keyIndexAt(t, 1);
    if (a == b) {
        return 0.0f;
    }
    return (t - data[a].time) / (data[b].time - data[a].time);
}

Vec3 CameraTrack::sample(float t, int mode) const {
    const float pi = 3.14159274f;
    Vec3 a = keyAt(t, 0).position();
    Vec3 b = keyAt(t, 1).position();
    float u = localParameter(t);
    switch (mode) {
    case 0:
        return a;
    case 2: {
        float w = (1.0f - std::cos(u * pi)) / 2.0f;
        return a + (b - a) * w;
    }
    case 3:
        return cubic(t);
    case 4:
        return spherical(t);
    default:
        return a + (b - a) * u;
    }
}

Vec3 CameraTrack::value(float t) const {
    return sample(t, keyAt(t, 0).mode);
}

Vec3 CameraTrack::cubic(float t) const {
    // The first and last keys repeat at the ends, through the clamped lookups.
    Vec3 p0 = keyAt(t, -1).position();
    Vec3 p1 = keyAt(t, 0).position();
    Vec3 p2 = keyAt(t, 1).position();
    Vec3 p3 = keyAt(t, 2).position();
    float u = localParameter(t);
    Vec3 a0 = p3 - p2 - p0 + p1;
    Vec3 a1 = p0 - p1 - a0;
    Vec3 a2 = p2 - p0;
    const Vec3& a3 = p1;
    return a0 * (u * u * u) + a1 * (u * u) + a2 * u + a3;
}

Vec3 CameraTrack::spherical(float t) const {
    Vec3 a = keyAt(t, 0).position();
    Vec3 b = keyAt(t, 1).position();
    float u = localParameter(t);
    float& w = sphericalScalar;
    float c = dot(a, b) + w * w;
    if (c < 0.0f) {
        c = -c;
        b = -b;
        w = -w;
    }
    if (c > 1.0f) {
        c = 1.0f;
    }
    float theta = std::acos(c);
    float sinTheta = std::sin(theta);
    float ka, kb;
    if (std::fabs(sinTheta) <= 0.0001f) {
        ka = 1.0f;
        kb = 0.0f;
    } else {
        ka = std::sin((1.0f - u) * theta) / sinTheta;
        kb = std::sin(u * theta) / sinTheta;
    }
    w = (ka + kb) * w;
    return a * ka + b * kb;
}
