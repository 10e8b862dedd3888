// Rotation about an axis, checked against turns worked out by hand from its
// formula: with axis (0, 0, 1), x' = c x + s y and y' = -s x + c y, so a
// positive quarter turn takes +x to -y (clockwise seen from +z).
#include "platform/Vec3.h"

#include <gtest/gtest.h>

namespace {

void expectVec(const Vec3& v, float x, float y, float z) {
    EXPECT_NEAR(v.x, x, 1e-6f);
    EXPECT_NEAR(v.y, y, 1e-6f);
    EXPECT_NEAR(v.z, z, 1e-6f);
}

TEST(RotateAboutAxis, QuarterTurnsAboutEachAxis) {
    const float quarter = 1.57079633f;
    Vec3 v(1, 0, 0);
    rotateAboutAxis(v, Vec3(0, 0, 1), quarter);
    expectVec(v, 0, -1, 0);

    v = Vec3(0, 1, 0);
    rotateAboutAxis(v, Vec3(1, 0, 0), quarter);
    expectVec(v, 0, 0, -1);

    v = Vec3(0, 0, 1);
    rotateAboutAxis(v, Vec3(0, 1, 0), quarter);
    expectVec(v, -1, 0, 0);

    // The same turns carry the other axes on round: every sine term once.
    v = Vec3(0, 1, 0);
    rotateAboutAxis(v, Vec3(0, 0, 1), quarter);
    expectVec(v, 1, 0, 0);
    v = Vec3(0, 0, 1);
    rotateAboutAxis(v, Vec3(1, 0, 0), quarter);
    expectVec(v, 0, 1, 0);
    v = Vec3(1, 0, 0);
    rotateAboutAxis(v, Vec3(0, 1, 0), quarter);
    expectVec(v, 0, 0, 1);
}

TEST(RotateAboutAxis, AxisIsNormalisedAndTheLengthKept) {
    // A third of a turn about the diagonal cycles the axes: x to z.
    Vec3 v(3, 0, 0);
    rotateAboutAxis(v, Vec3(2, 2, 2), 2.09439510f);
    expectVec(v, 0, 0, 3);

    // A vector along the axis stays; a tilted one keeps its length.
    Vec3 along(0, 0, -2);
    rotateAboutAxis(along, Vec3(0, 0, 7), 1.0f);
    expectVec(along, 0, 0, -2);
    Vec3 tilted(1, 2, 3);
    rotateAboutAxis(tilted, Vec3(0.3f, -1, 0.5f), 0.7f);
    EXPECT_NEAR(length(tilted), std::sqrt(14.0f), 1e-5f);
}

} // namespace
