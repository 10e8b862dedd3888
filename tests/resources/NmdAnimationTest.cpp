#include "resources/NmdAnimation.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

NmdNode trackedNode() {
    NmdNode node;
    node.positionKeys = {{{0, 0, 0}, 0.0f}, {{2, 4, 6}, 2.0f}};
    return node;
}

void expectTranslation(const NmdNode& node, float t, float x, float y, float z) {
    NodeTransform at = nodeTransformAt(node, t);
    EXPECT_FLOAT_EQ(at.translation[0], x) << "t = " << t;
    EXPECT_FLOAT_EQ(at.translation[1], y) << "t = " << t;
    EXPECT_FLOAT_EQ(at.translation[2], z) << "t = " << t;
}

} // namespace

TEST(NmdAnimation, PositionTrackIsInterpolatedHeldAndConverted) {
    NmdNode node = trackedNode();
    expectTranslation(node, 1.0f, 1, 3, -2);
    expectTranslation(node, 2.0f, 2, 6, -4);
    expectTranslation(node, 5.0f, 2, 6, -4);
    expectTranslation(node, -1.0f, 0, 0, 0);
    expectTranslation(node, 0.5f, 0.5f, 1.5f, -1.0f);
    expectTranslation(node, NAN, 2, 6, -4);
}

TEST(NmdAnimation, OneKeyIsNoTrack) {
    NmdNode node;
    node.position[0] = 7;
    node.position[1] = 8;
    node.position[2] = 9;
    node.positionKeys = {{{1, 1, 1}, 0.0f}};
    node.scale[0] = 1;
    node.scale[1] = 2;
    node.scale[2] = 3;
    expectTranslation(node, 0.0f, 7, 9, -8);
    NodeTransform at = nodeTransformAt(node, 0.0f);
    EXPECT_EQ(at.scale[0], 1.0f);
    EXPECT_EQ(at.scale[1], 3.0f);
    EXPECT_EQ(at.scale[2], 2.0f);
}

TEST(NmdAnimation, RestRotationIsZeroAboutX) {
    NmdNode node;
    NodeTransform at = nodeTransformAt(node, 3.0f);
    EXPECT_EQ(at.angleDegrees, 0.0f);
    EXPECT_EQ(at.axis[0], 1.0f);
    EXPECT_EQ(at.axis[1], 0.0f);
    EXPECT_EQ(at.axis[2], 0.0f);
}

TEST(NmdAnimation, RotationIsConvertedWithTheNegatedAngleAndSwappedAxis) {
    // 90 degrees about the authoring y axis.
    NmdNode node;
    float h = std::sqrt(0.5f);
    node.rotation[0] = 0;
    node.rotation[1] = h;
    node.rotation[2] = 0;
    node.rotation[3] = h;
    NodeTransform at = nodeTransformAt(node, 0.0f);
    EXPECT_NEAR(at.angleDegrees, -90.0f, 1e-3f);
    EXPECT_NEAR(at.axis[0], 0.0f, 1e-6f);
    EXPECT_NEAR(at.axis[1], 0.0f, 1e-6f);
    EXPECT_NEAR(at.axis[2], -1.0f, 1e-5f);
}

TEST(NmdAnimation, SlerpTakesTheShortWayAndHalvesTheAngle) {
    float h = std::sqrt(0.5f);
    std::vector<NmdRotationKey> keys = {{{0, 0, 0, 1}, 0.0f}, {{0, 0, -h, -h}, 1.0f}};
    const float rest[4] = {0, 0, 0, 1};
    float q[4];
    evaluateRotationTrack(keys, 0.5f, rest, q);
    // Halfway to 90 degrees about z (the second key is the same turn, negated).
    EXPECT_NEAR(q[2], std::sin(0.3926991f), 1e-5f);
    EXPECT_NEAR(q[3], std::cos(0.3926991f), 1e-5f);

    // Keys too close to tell apart keep the first key.
    std::vector<NmdRotationKey> same = {{{0, 0, 0, 1}, 0.0f}, {{0, 0, 0, 1}, 1.0f}};
    evaluateRotationTrack(same, 0.5f, rest, q);
    EXPECT_EQ(q[3], 1.0f);
}
