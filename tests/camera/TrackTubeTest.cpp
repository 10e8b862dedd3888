#include "camera/TrackTube.h"

#include "platform/Gl.h"
#include "platform/GlState.h"
#include "tests/support/GlTest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

// Keys at times 0 .. keys - 1 along a straight line from -1 to 1 in x.
TrackTube straightTube(int keys, Vec3 direction = Vec3(1.0f, 0.0f, 0.0f)) {
    TrackTube tube;
    for (int i = 0; i < keys; ++i) {
        float s = -1.0f + 2.0f * static_cast<float>(i) / static_cast<float>(keys - 1);
        tube.addKey(direction.x * s, direction.y * s, direction.z * s, static_cast<float>(i), 1);
    }
    return tube;
}

float distanceToLine(const Vec3& p, const Vec3& direction) {
    Vec3 d = normalize(direction);
    return length(p - d * dot(p, d));
}

} // namespace

TEST(TrackTube, TopologyOfRingsAndStrips) {
    TrackTube tube = straightTube(4);
    tube.build(5, 12, 0.25f, 1, 0.0f, -1.0f);
    EXPECT_EQ(tube.sides, 5);
    EXPECT_EQ(tube.rings, 12);
    ASSERT_EQ(tube.positions.count, 14 * 5);
    ASSERT_EQ(tube.normals.count, 14 * 5);
    // Every ring but the last two starts a strip of 2 triangles per side.
    ASSERT_EQ(tube.indices.count, 11 * 5 * 6);
    std::set<uint32_t> used(tube.indices.data, tube.indices.data + tube.indices.count);
    EXPECT_EQ(*used.rbegin(), 12u * 5u - 1u);
    EXPECT_EQ(used.size(), 12u * 5u);

    // tEnd = -1 spans the whole track: the first ring sits at x = -1, ring 12 at x = 1.
    for (int s = 0; s < 5; ++s) {
        EXPECT_NEAR(tube.positions[s].x, -1.0f, 1e-5f);
        EXPECT_NEAR(tube.positions[12 * 5 + s].x, 1.0f, 1e-5f);
    }
    for (int i = 0; i < tube.positions.count; ++i) {
        EXPECT_NEAR(distanceToLine(tube.positions[i], Vec3(1, 0, 0)), 0.25f, 1e-5f) << i;
        EXPECT_NEAR(length(tube.normals[i]), 1.0f, 1e-5f) << i;
    }
    // Normals of a straight tube are radial and point at the path. Each side
    // turns the ring clockwise about the tangent (+x takes +y to -z), so the
    // strips wind with their face normals (p0 - p1) x (p2 - p1) inward.
    for (int i = 5; i < 11 * 5; ++i) {
        const Vec3& p = tube.positions[i];
        float outward = dot(tube.normals[i], normalize(Vec3(0.0f, p.y, p.z)));
        EXPECT_NEAR(outward, -1.0f, 1e-3f) << i;
    }
}

TEST(TrackTube, TangentWithoutXComponentGetsARing) {
    for (Vec3 direction : {Vec3(0, 1, 0), Vec3(0, 0, -1), Vec3(0, 1, -1)}) {
        TrackTube tube = straightTube(3, direction);
        // Mode 0 holds each key, so most rings have no tangent at all: they
        // still get full rings, never points off the path or not-a-numbers.
        tube.build(4, 6, 0.5f, 0, 0.0f, -1.0f);
        for (int i = 0; i < tube.positions.count; ++i) {
            const Vec3& v = tube.positions[i];
            ASSERT_TRUE(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z)) << i;
            ASSERT_NEAR(length(tube.normals[i]), 1.0f, 1e-5f) << i;
        }
        tube.build(4, 6, 0.5f, 1, 0.0f, -1.0f);
        for (int i = 0; i < tube.positions.count; ++i) {
            EXPECT_NEAR(distanceToLine(tube.positions[i], direction), 0.5f, 1e-5f) << i;
        }
    }
}

TEST(TrackTube, DrawRangeRoundsHalfToEvenAndClamps) {
    TrackTube tube = straightTube(4);
    tube.build(3, 10, 0.1f, 1, 0.0f, -1.0f);
    ASSERT_EQ(tube.indices.count, 9 * 3 * 6);
    int first, end;
    // 10 rings over 4 keys: from 1.0 is ring 2.5, which rounds to 2; 1.4 is 3.5 -> 4.
    tube.indexRange(1.0f, 1.4f, &first, &end);
    EXPECT_EQ(first, 2 * 3 * 6);
    EXPECT_EQ(end, 4 * 3 * 6);
    tube.indexRange(0.2f, 0.2f, &first, &end);
    EXPECT_EQ(first, end);
    tube.indexRange(-3.0f, 100.0f, &first, &end);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(end, tube.indices.count - 1);
    tube.indexRange(std::nanf(""), 1e30f, &first, &end);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(end, tube.indices.count - 1);

    TrackTube empty;
    empty.count = 0;
    empty.build(3, 10, 0.1f, 1, 0.0f, -1.0f);
    empty.indexRange(0.0f, 5.0f, &first, &end);
    EXPECT_EQ(first, end);
}

class TrackTubeDrawing : public GlTest {
protected:
    // Draws the tube under an orthographic view, seen from +z or, turned half
    // round, from -z, with back faces culled, and reads the centre pixel.
    int centreRed(const TrackTube& tube, float from, float to, bool fromBehind) {
        clear(0.0f, 0.0f, 0.0f, 0.0f, true, true, false);
        projectionIdentity();
        glOrtho(-1.5, 1.5, -1.125, 1.125, -10.0, 10.0);
        modelviewIdentity();
        if (fromBehind) {
            rotate(180.0f, 0.0f, 1.0f, 0.0f);
        }
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        tube.drawRange(from, to);
        glDisable(GL_CULL_FACE);
        return pixel(400, 300)[0];
    }
};

TEST_F(TrackTubeDrawing, TwoSidedRibbonShowsFromBothSides) {
    TrackTube ribbon = straightTube(5);
    ribbon.build(2, 20, 0.5f, 1, 0.0f, -1.0f);
    EXPECT_EQ(centreRed(ribbon, 0.0f, 5.0f, false), 255);
    EXPECT_EQ(centreRed(ribbon, 0.0f, 5.0f, true), 255);
    // The centre lies in ring 10 of 20: a range ending before it leaves it dark.
    EXPECT_EQ(centreRed(ribbon, 0.0f, 2.0f, false), 0);
    EXPECT_EQ(centreRed(ribbon, 2.0f, 2.0f, false), 0);
    EXPECT_EQ(centreRed(ribbon, 2.5f, 2.0f, false), 0);
    EXPECT_EQ(centreRed(ribbon, 2.0f, 3.0f, true), 255);
}
