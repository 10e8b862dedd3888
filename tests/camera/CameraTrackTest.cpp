#include "camera/CameraTrack.h"

#include "platform/EngineError.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Keys at times 0, 1, 2, 3 with x = 10 t and distinct y and z.
CameraTrack evenTrack(int mode = 1) {
    CameraTrack track;
    for (int i = 3; i >= 0; --i) {
        float t = static_cast<float>(i);
        track.addKey(10.0f * t, t * t, -t, t, mode);
    }
    return track;
}

void expectNear(const Vec3& v, float x, float y, float z, float tolerance = 1e-5f) {
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

} // namespace

TEST(CameraTrack, DefaultKeyIsZeroWithLinearMode) {
    CameraKey key;
    EXPECT_EQ(key.x, 0.0f);
    EXPECT_EQ(key.time, 0.0f);
    EXPECT_EQ(key.mode, 1);
    // Places gained by growing hold default keys.
    CameraTrack track;
    EXPECT_EQ(track.capacity, 1);
    track.addKey(1, 2, 3, 4, 0);
    track.addKey(1, 2, 3, 5, 0);
    ASSERT_GE(track.capacity, 11);
    EXPECT_EQ(track.data[5].mode, 1);
}

TEST(CameraTrack, AddSortsAndKeepsEqualTimes) {
    CameraTrack track;
    track.addKey(3, 0, 0, 3.0f, 1);
    track.addKey(1, 0, 0, 1.0f, 1);
    track.addKey(2, 0, 0, 2.0f, 1);
    track.addKey(4, 0, 0, 2.0f, 1);
    ASSERT_EQ(track.count, 4);
    EXPECT_EQ(track.key(0).x, 1.0f);
    EXPECT_EQ(track.key(3).x, 3.0f);
    EXPECT_EQ(track.key(1).time, 2.0f);
    EXPECT_EQ(track.key(2).time, 2.0f);
    EXPECT_EQ(track.key(1).x + track.key(2).x, 6.0f);
}

TEST(CameraTrack, CheckedAccessAndRemove) {
    CameraTrack track = evenTrack();
    EXPECT_THROW(track.key(4), EngineError);
    EXPECT_THROW(track.key(-1), EngineError);
    EXPECT_THROW(track.removeKey(4), EngineError);

    track.removeKey(1);
    ASSERT_EQ(track.count, 3);
    EXPECT_EQ(track.key(0).time, 0.0f);
    EXPECT_EQ(track.key(1).time, 2.0f);
    EXPECT_EQ(track.key(2).time, 3.0f);
    track.removeKey(2);
    track.removeKey(0);
    track.removeKey(0);
    EXPECT_EQ(track.count, 0);
    EXPECT_THROW(track.removeKey(0), EngineError);
}

TEST(TrackSampling, KeyLookupClampsAtBothEnds) {
    CameraTrack empty;
    empty.count = 0;
    EXPECT_EQ(empty.keyIndexAt(1.0f, 0), -1);
    EXPECT_EQ(empty.keyAt(1.0f, 0).mode, 1);
    expectNear(empty.sample(1.0f, 3), 0, 0, 0);
    expectNear(empty.value(1.0f), 0, 0, 0);

    CameraTrack track = evenTrack();
    // At or past the last key every offset gives the last key.
    for (int offset = -1; offset <= 2; ++offset) {
        EXPECT_EQ(track.keyIndexAt(3.0f, offset), 3) << offset;
        EXPECT_EQ(track.keyIndexAt(50.0f, offset), 3) << offset;
    }
    // Before the first key: offset 0 gives 0 and offset 2 gives 1.
    EXPECT_EQ(track.keyIndexAt(-1.0f, 0), 0);
    EXPECT_EQ(track.keyIndexAt(-1.0f, 1), 0);
    EXPECT_EQ(track.keyIndexAt(-1.0f, 2), 1);
    // Inside: the key at or before t, and its neighbours.
    EXPECT_EQ(track.keyIndexAt(1.0f, 0), 1);
    EXPECT_EQ(track.keyIndexAt(1.5f, -1), 0);
    EXPECT_EQ(track.keyIndexAt(1.5f, 0), 1);
    EXPECT_EQ(track.keyIndexAt(1.5f, 1), 2);
    EXPECT_EQ(track.keyIndexAt(1.5f, 2), 3);
    EXPECT_EQ(track.keyIndexAt(2.5f, 2), 3);
    EXPECT_EQ(track.keyIndexAt(std::nanf(""), 0), 3);

    EXPECT_FLOAT_EQ(track.localParameter(1.25f), 0.25f);
    EXPECT_EQ(track.localParameter(-5.0f), 0.0f);
    EXPECT_EQ(track.localParameter(3.0f), 0.0f);
    // Before the first key the value holds the first key for every mode.
    for (int mode = 0; mode <= 5; ++mode) {
        expectNear(track.sample(-2.0f, mode), 0, 0, 0);
        expectNear(track.sample(9.0f, mode), 30, 9, -3);
    }
}

TEST(TrackSampling, InterpolationModes) {
    CameraTrack track = evenTrack();
    expectNear(track.sample(1.25f, 0), 10, 1, -1);
    expectNear(track.sample(1.25f, 1), 12.5f, 1.75f, -1.25f);
    expectNear(track.sample(1.25f, 7), 12.5f, 1.75f, -1.25f);
    float w = (1.0f - std::cos(0.25f * 3.14159274f)) / 2.0f;
    expectNear(track.sample(1.25f, 2), 10 + 10 * w, 1 + 3 * w, -1 - w);
    expectNear(track.sample(1.5f, 2), 15, 2.5f, -1.5f);

    // The cubic passes through every key at the key's own time, ends included.
    for (int i = 0; i < 4; ++i) {
        float t = static_cast<float>(i);
        expectNear(track.sample(t, 3), 10 * t, t * t, -t);
    }
    // Between keys 1 and 2 it uses keys 0 .. 3; between 0 and 1 the first key
    // stands in for the missing one before it.
    auto cubic = [](float p0, float p1, float p2, float p3, float u) {
        return p1 + (p2 - p0) * u + (2 * p0 - 2 * p1 + p2 - p3) * u * u +
               (p3 - p2 - p0 + p1) * u * u * u;
    };
    Vec3 mid = track.sample(1.5f, 3);
    EXPECT_NEAR(mid.y, cubic(0, 1, 4, 9, 0.5f), 1e-5f);
    Vec3 first = track.sample(0.5f, 3);
    EXPECT_NEAR(first.y, cubic(0, 0, 1, 4, 0.5f), 1e-5f);

    // A controller reads each stretch with the mode of the key that starts it.
    CameraTrack mixed = evenTrack();
    mixed.key(1).mode = 0;
    expectNear(mixed.value(1.5f), 10, 1, -1);
    expectNear(mixed.value(0.5f), 5, 0.5f, -0.5f);
}

// Values worked out by hand: the keys are the vector parts of quaternions
// whose scalar part is the one shared number, so a quarter turn between
// (0.5, 0, 0) and (0, 0.5, 0) with the scalar at 0.5 spans acos 0.25.
TEST(TrackSampling, SphericalCarriesItsScalarAcrossCalls) {
    CameraTrack track;
    track.addKey(0.5f, 0.0f, 0.0f, 0.0f, 4);
    track.addKey(0.0f, 0.5f, 0.0f, 1.0f, 4);

    sphericalScalar = 0.5f;
    expectNear(track.sample(0.5f, 4), 0.3162278f, 0.3162278f, 0.0f);
    EXPECT_NEAR(sphericalScalar, 0.6324555f, 1e-6f);

    // The next call starts from the changed scalar: the angle is now acos 0.4.
    expectNear(track.sample(0.5f, 4), 0.2988072f, 0.2988072f, 0.0f);
    EXPECT_NEAR(sphericalScalar, 0.7559289f, 1e-6f);

    // Opposed ends take the short way round: b and the scalar flip sign.
    CameraTrack opposed;
    opposed.addKey(0.5f, 0.0f, 0.0f, 0.0f, 4);
    opposed.addKey(-0.9f, 0.0f, 0.0f, 1.0f, 4);
    sphericalScalar = 0.5f;
    expectNear(opposed.sample(0.25f, 4), 0.7450892f, 0, 0);
    EXPECT_NEAR(sphericalScalar, -0.6080359f, 1e-6f);

    // At a key the scalar stays.
    sphericalScalar = 1.0f;
    expectNear(opposed.sample(0.0f, 4), 0.5f, 0, 0);
    EXPECT_EQ(sphericalScalar, 1.0f);
}

// With the shared scalar at 0 the spherical mode is the plain arc between two
// unit vectors: a quarter turn read at u = 0.5 points along the half-angle
// bisector, at u = 1/3 thirty degrees from the first key.
TEST(TrackSampling, SphericalFollowsTheArcBetweenUnitKeys) {
    CameraTrack track;
    track.addKey(1, 0, 0, 0.0f, 4);
    track.addKey(0, 1, 0, 1.0f, 4);
    sphericalScalar = 0.0f;
    expectNear(track.sample(0.5f, 4), 0.7071068f, 0.7071068f, 0);
    expectNear(track.sample(1.0f / 3.0f, 4), 0.8660254f, 0.5f, 0);
    EXPECT_EQ(sphericalScalar, 0.0f);

    // Keys more than a quarter turn apart: the arc runs to the negated second
    // key, the short way. (1, 0, 0) to -(-0.6, 0.8, 0) has its midpoint along
    // (1.6, -0.8), normalised.
    CameraTrack wide;
    wide.addKey(1, 0, 0, 0.0f, 4);
    wide.addKey(-0.6f, 0.8f, 0, 1.0f, 4);
    expectNear(wide.sample(0.5f, 4), 0.8944272f, -0.4472136f, 0);
    sphericalScalar = 1.0f;
}
