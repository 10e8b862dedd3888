#pragma once

#include "core/GrowArray.h"
#include "platform/Vec3.h"

#include <cstdint>

// One recorded value on a camera track. mode says how the stretch from this key
// to the next is interpolated: 0 hold, 1 linear, 2 cosine, 3 cubic, 4 spherical,
// anything else linear.
struct CameraKey {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float time = 0.0f;
    int32_t mode = 1;

    Vec3 position() const { return {x, y, z}; }
    void setPosition(const Vec3& p) {
        x = p.x;
        y = p.y;
        z = p.z;
    }
};

// A time-ordered list of keys for one three-component value (a controller of the
// demo, or the path of a tube). Keys read from a bank keep their file order until
// the next add sorts them.
class CameraTrack : public GrowArray<CameraKey> {
public:
    CameraTrack() { resize(1); }

    // Appends the key and sorts the track; keys with equal times are all kept.
    void addKey(float x, float y, float z, float time, int32_t mode);
    // Plain exchange sort by time: stable enough for the few keys a track holds,
    // and a time that is not a number never moves.
    void sort();
    // Checked access: an index outside the keys raises an EngineError.
    CameraKey& key(int index) { return (*this)[index]; }
    const CameraKey& key(int index) const { return (*this)[index]; }
    // Checked like key(); later keys move down by one.
    void removeKey(int index);

    // -1 for an empty track; the last index when t is at or past the last key;
    // otherwise i + offset - 1 clamped to the track, i being the first key later
    // than t: offset 0 is the key at or before t, offset 1 the one after it.
    int keyIndexAt(float t, int offset) const;
    // The key at keyIndexAt(t, offset), or a default key for an empty track.
    CameraKey keyAt(float t, int offset) const;
    // Where t lies between the key at or before it and the next one: 0 .. 1, and 0
    // when both are the same key (before the first key, at or past the last).
    float localParameter(float t) const;
    // The position at t with an interpolation mode (see CameraKey::mode).
    Vec3 sample(float t, int mode) const;
    // The position at t interpolated with the mode of the key where the stretch
    // holding t starts: what a controller shows.
    Vec3 value(float t) const;

private:
    Vec3 cubic(float t) const;
    Vec3 spherical(float t) const;
};

// The scalar part of the quaternions that spherical sampling treats the
// positions as: one value for the whole process, carried from each spherical
// sample to the next, starting at 1.
extern float sphericalScalar;
