// The metaballs' field and surface on the processor: the marching-cubes tables,
// the case rule, the torus field with its clamp and its axis, the normals, the
// guards of the interpolation and the winding of the emitted triangles.
#include "effects/MetaballGrid.h"
#include "effects/MarchingCubes.h"
#include "effects/MetaStuff.h"
#include "platform/EngineError.h"
#include "platform/Random.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <tuple>
#include <vector>

namespace {

std::vector<MeshVertex> polygonised(MetaballGrid& grid, int* triangles) {
    std::vector<MeshVertex> out(grid.maxVertices());
    *triangles = grid.polygonise(out.data());
    out.resize(static_cast<size_t>(*triangles) * 3);
    return out;
}

void fill(MetaballGrid& grid, float w) {
    for (GridPoint& p : grid.points) {
        p.w = w;
    }
}

Vec3 positionOf(const MeshVertex& v) {
    return {v.position[0], v.position[1], v.position[2]};
}

Vec3 normalOf(const MeshVertex& v) {
    return {v.normal[0], v.normal[1], v.normal[2]};
}

// A frame of the scene's three tori at animation value a.
void threeTori(MetaballGrid& grid, float a, bool wobble) {
    grid.resetValues();
    Vec3 centres[3], axes[3];
    torusPlacement(a, centres, axes);
    for (int n = 0; n < 3; ++n) {
        grid.addTorus(centres[n], axes[n], 11.0f, 3.0f, wobble);
    }
    grid.computeNormals();
}

} // namespace

TEST(MarchingCubes, TablesAreTheStandardPair) {
    EXPECT_EQ(marchingEdgeTable[0], 0);
    EXPECT_EQ(marchingEdgeTable[1], 0x109);
    EXPECT_EQ(marchingEdgeTable[2], 0x203);
    const std::vector<std::vector<int>> rows = {
        {0, 8, 3}, {0, 1, 9}, {1, 8, 3, 9, 8, 1}, {1, 2, 10}};
    for (int c = 1; c <= 4; ++c) {
        for (size_t n = 0; n < rows[c - 1].size(); ++n) {
            EXPECT_EQ(marchingTriangleTable[c][n], rows[c - 1][n]) << "case " << c;
        }
        EXPECT_EQ(marchingTriangleTable[c][rows[c - 1].size()], -1);
    }
    EXPECT_EQ(marchingTriangleTable[254][0], 0);
    EXPECT_EQ(marchingTriangleTable[254][1], 3);
    EXPECT_EQ(marchingTriangleTable[254][2], 8);
    EXPECT_EQ(marchingTriangleTable[0][0], -1);
    EXPECT_EQ(marchingTriangleTable[255][0], -1);
}

// A mistyped entry anywhere in the 256 rows breaks one of these: the edges a row
// uses are the edges whose corners differ, every inner side of a row's patch is
// shared by two of its triangles in opposite directions, every open side runs
// across one face of the cell, and every triangle turns the same way against the
// field.
TEST(MarchingCubes, EveryCaseIsAConsistentPatch) {
    const std::set<int> faces[6] = {{0, 1, 2, 3}, {4, 5, 6, 7}, {0, 1, 5, 4},
                                    {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
    auto midpoint = [](int e) {
        const int8_t* a = marchingCornerSteps[marchingEdgeCorners[e][0]];
        const int8_t* b = marchingCornerSteps[marchingEdgeCorners[e][1]];
        return Vec3(0.5f * (a[0] + b[0]), 0.5f * (a[1] + b[1]), 0.5f * (a[2] + b[2]));
    };
    for (int c = 0; c < 256; ++c) {
        int mask = 0;
        for (int e = 0; e < 12; ++e) {
            const int a = marchingEdgeCorners[e][0], b = marchingEdgeCorners[e][1];
            if (((c >> a) & 1) != ((c >> b) & 1)) {
                mask |= 1 << e;
            }
        }
        ASSERT_EQ(marchingEdgeTable[c], mask) << "case " << c;

        const int8_t* row = marchingTriangleTable[c];
        int used = 0, t = 0;
        std::map<std::pair<int, int>, int> sides;
        for (; row[t] >= 0; t += 3) {
            ASSERT_LE(t + 3, 15) << "case " << c;
            const int v[3] = {row[t], row[t + 1], row[t + 2]};
            for (int n = 0; n < 3; ++n) {
                used |= 1 << v[n];
                ++sides[{v[n], v[(n + 1) % 3]}];
            }
            // Table order turns towards the corners at or above the level.
            const Vec3 normal =
                cross(midpoint(v[1]) - midpoint(v[0]), midpoint(v[2]) - midpoint(v[0]));
            float towardsHigh = 0.0f;
            for (int e : v) {
                const int a = marchingEdgeCorners[e][0], b = marchingEdgeCorners[e][1];
                const int low = ((c >> a) & 1) ? a : b, high = low == a ? b : a;
                const int8_t* l = marchingCornerSteps[low];
                const int8_t* h = marchingCornerSteps[high];
                towardsHigh += dot(normal, Vec3(h[0] - l[0], h[1] - l[1], h[2] - l[2]));
            }
            EXPECT_GT(towardsHigh, 0.0f) << "case " << c << " triangle " << t / 3;
        }
        EXPECT_EQ(row[t], -1);
        EXPECT_EQ(used, mask) << "case " << c;
        for (const auto& [side, count] : sides) {
            EXPECT_EQ(count, 1) << "case " << c;
            if (sides.count({side.second, side.first}) != 0) {
                continue;
            }
            std::set<int> corners = {
                marchingEdgeCorners[side.first][0], marchingEdgeCorners[side.first][1],
                marchingEdgeCorners[side.second][0], marchingEdgeCorners[side.second][1]};
            bool onFace = false;
            for (const std::set<int>& face : faces) {
                onFace = onFace ||
                         std::includes(face.begin(), face.end(), corners.begin(), corners.end());
            }
            EXPECT_TRUE(onFace) << "case " << c << " side " << side.first << "-" << side.second;
        }
    }
}

TEST(MetaballGrid, CellsAreLinkedToTheirCornersOnce) {
    MetaballGrid grid(45);
    ASSERT_EQ(grid.points.size(), 45u * 45u * 45u);
    ASSERT_EQ(grid.cellCorners.size(), 44u * 44u * 44u * 8u);
    for (auto [i, j, k] : {std::tuple{0, 0, 0}, {43, 0, 0}, {5, 17, 30}, {43, 43, 43}}) {
        const uint32_t* link = &grid.cellCorners[((k * 44 + j) * 44 + i) * 8];
        for (int c = 0; c < 8; ++c) {
            const int8_t* step = marchingCornerSteps[c];
            EXPECT_EQ(&grid.points[link[c]], &grid.point(i + step[0], j + step[1], k + step[2]))
                << i << "," << j << "," << k << " corner " << c;
        }
    }
    for (const GridPoint& p : grid.points) {
        ASSERT_EQ(p.w, 0.0f);
    }
    // Normals start at zero inside and face out of the grid on its faces.
    EXPECT_EQ(grid.point(5, 6, 7).nx, 0.0f);
    EXPECT_EQ(grid.point(5, 6, 7).nz, 0.0f);
    EXPECT_EQ(grid.point(0, 6, 7).nx, -1.0f);
    EXPECT_EQ(grid.point(0, 6, 7).ny, 0.0f);
    EXPECT_EQ(grid.point(5, 44, 7).ny, 1.0f);
    EXPECT_EQ(grid.point(44, 0, 44).nx, 1.0f);
    EXPECT_EQ(grid.point(44, 0, 44).ny, -1.0f);
    EXPECT_EQ(grid.point(44, 0, 44).nz, 1.0f);
    EXPECT_THROW(MetaballGrid(1), EngineError);
    EXPECT_THROW(MetaballGrid(MetaballGrid::maxSize + 1), EngineError);
}

TEST(MetaballGrid, AValueOfExactlyTheLevelCountsAsOutside) {
    MetaballGrid grid(4);
    int triangles = 0;
    fill(grid, 1.0f);
    EXPECT_EQ(grid.caseIndex(1, 1, 1), 0);
    polygonised(grid, &triangles);
    EXPECT_EQ(triangles, 0);
    fill(grid, 0.999f);
    EXPECT_EQ(grid.caseIndex(1, 1, 1), 255);
    polygonised(grid, &triangles);
    EXPECT_EQ(triangles, 0);

    // One point alone below the level: corner 0 of cell (1, 1, 1), case 1.
    fill(grid, 1.0f);
    grid.point(1, 1, 1).w = 0.5f;
    EXPECT_EQ(grid.caseIndex(1, 1, 1), 1);
    std::vector<MeshVertex> out = polygonised(grid, &triangles);
    // The point is a corner of eight cells; each cuts its own corner off.
    ASSERT_EQ(triangles, 8);
    // Cell (0, 0, 0) comes first, with the point as corner 6: case 64, whose
    // row (10, 6, 5) goes out as (10, 5, 6). With 0.5 against 1.0 each crossing
    // lies on the far corner of its edge.
    EXPECT_EQ(grid.caseIndex(0, 0, 0), 64);
    ASSERT_EQ(marchingTriangleTable[64][0], 10);
    ASSERT_EQ(marchingTriangleTable[64][1], 6);
    ASSERT_EQ(marchingTriangleTable[64][2], 5);
    const Vec3 expected[3] = {{1, 0, 1}, {1, 1, 0}, {0, 1, 1}};
    for (int v = 0; v < 3; ++v) {
        EXPECT_EQ(positionOf(out[v]).x, expected[v].x) << v;
        EXPECT_EQ(positionOf(out[v]).y, expected[v].y) << v;
        EXPECT_EQ(positionOf(out[v]).z, expected[v].z) << v;
    }
}

TEST(MetaballGrid, TorusFieldIsClampedAndFiniteOnItsAxis) {
    MetaballGrid grid(45);
    grid.addTorus(Vec3(22, 22, 22), Vec3(0, 0, 2), 11.0f, 3.0f, false);
    // The centre lies on the axis: every core point is 11 away.
    EXPECT_FLOAT_EQ(grid.point(22, 22, 22).w, 9.0f / 121.0f);
    EXPECT_FLOAT_EQ(grid.point(22, 22, 26).w, 9.0f / (121.0f + 16.0f));
    // On the core ring the distance is 0: clamped to 3.
    EXPECT_EQ(grid.point(33, 22, 22).w, 3.0f);
    EXPECT_EQ(grid.point(22, 11, 22).w, 3.0f);
    EXPECT_FLOAT_EQ(grid.point(35, 22, 22).w, 9.0f / 4.0f);
    for (const GridPoint& p : grid.points) {
        ASSERT_FALSE(std::isnan(p.w));
        ASSERT_GE(p.w, 0.0f);
        ASSERT_LE(p.w, 3.0f);
    }

    // The box reaches 19 beyond the centre, rounded half to even and kept off
    // the outer planes.
    int lo = 0, hi = 0;
    torusBoxRange(22.0f, 11.0f, 3.0f, 45, &lo, &hi);
    EXPECT_EQ(lo, 3);
    EXPECT_EQ(hi, 41);
    torusBoxRange(3.5f - 19.0f, 11.0f, 3.0f, 45, &lo, &hi);
    EXPECT_EQ(lo, 1);
    EXPECT_EQ(hi, 4); // 3.5 rounds to 4
    torusBoxRange(2.5f, 11.0f, 3.0f, 45, &lo, &hi);
    EXPECT_EQ(hi, 22); // 21.5 rounds to 22
    torusBoxRange(40.0f, 11.0f, 3.0f, 45, &lo, &hi);
    EXPECT_EQ(hi, 44);
    torusBoxRange(std::nanf(""), 11.0f, 3.0f, 45, &lo, &hi);
    EXPECT_EQ(lo, hi);

    // Tori reaching out of the grid on every side leave its faces untouched.
    MetaballGrid edge(45);
    edge.addTorus(Vec3(40, 40, 40), Vec3(1, 1, 0), 11.0f, 3.0f, true);
    edge.addTorus(Vec3(3, 3, 3), Vec3(0, 1, 1), 11.0f, 3.0f, true);
    for (int a = 0; a < 45; ++a) {
        for (int b = 0; b < 45; ++b) {
            for (int side : {0, 44}) {
                ASSERT_EQ(edge.point(side, a, b).w, 0.0f);
                ASSERT_EQ(edge.point(a, side, b).w, 0.0f);
                ASSERT_EQ(edge.point(a, b, side).w, 0.0f);
            }
        }
    }
    EXPECT_GT(edge.point(43, 43, 43).w, 0.0f);
    EXPECT_GT(edge.point(1, 1, 1).w, 0.0f);
}

// The fast field takes the distance to the ring as h^2 + (|r| - R)^2 and a
// series for the wobble's sine; it must give what the formula gives.
TEST(MetaballGrid, FieldMatchesThePlainFormula) {
    Random::seed(1234);
    for (bool wobble : {false, true}) {
        for (int n = 0; n < 6; ++n) {
            const Vec3 centre(22.0f + 10.0f * Random::signedUnit(),
                              22.0f + 10.0f * Random::signedUnit(),
                              22.0f + 10.0f * Random::signedUnit());
            const Vec3 axis(Random::signedUnit(), Random::signedUnit(), Random::signedUnit());
            MetaballGrid fast(45), plain(45);
            fast.addTorus(centre, axis, 11.0f, 3.0f, wobble);
            addTorusPlainly(plain, centre, axis, 11.0f, 3.0f, wobble);
            for (size_t p = 0; p < fast.points.size(); ++p) {
                const float expected = plain.points[p].w;
                ASSERT_NEAR(fast.points[p].w, expected, 2e-4f * std::max(1.0f, expected))
                    << "point " << p << (wobble ? " wobbling" : "");
            }
        }
    }
}

TEST(MetaballGrid, WobbleBulgesTheRingOnlyInXAndY) {
    // An axis along z keeps r in the xy plane: the ring swells where sin(0.3 r.y)
    // or sin(0.3 r.x) is positive, so the wobbling field differs off the axis.
    MetaballGrid exact(45), wobbling(45);
    exact.addTorus(Vec3(22, 22, 22), Vec3(0, 0, 1), 11.0f, 3.0f, false);
    wobbling.addTorus(Vec3(22, 22, 22), Vec3(0, 0, 1), 11.0f, 3.0f, true);
    EXPECT_EQ(wobbling.point(22, 22, 22).w, exact.point(22, 22, 22).w);
    // At (22 + 11, 22 + 5): r.y = 5, sin 1.5 ~ 1, so the core point moves out by
    // half of R in x; the exact ring passes nearer.
    EXPECT_LT(wobbling.point(33, 27, 22).w, exact.point(33, 27, 22).w);
    int differing = 0;
    for (size_t p = 0; p < exact.points.size(); ++p) {
        differing += exact.points[p].w != wobbling.points[p].w;
    }
    EXPECT_GT(differing, 1000);
}

TEST(MetaballGrid, NormalsPointDownTheFieldInTheBandAroundTheSurface) {
    MetaballGrid grid(45);
    for (GridPoint& p : grid.points) {
        p.nx = p.ny = p.nz = 7.0f; // what an earlier frame left
    }
    grid.addTorus(Vec3(22, 22, 22), Vec3(0, 0, 1), 11.0f, 3.0f, false);
    grid.computeNormals();
    // Just outside the tube at (36, 22, 22): w = 1, falling outwards along x.
    const GridPoint& band = grid.point(36, 22, 22);
    ASSERT_GE(band.w, 0.15f);
    ASSERT_LE(band.w, 2.0f);
    EXPECT_FLOAT_EQ(band.nx, band.w - grid.point(37, 22, 22).w);
    EXPECT_FLOAT_EQ(band.ny, band.w - grid.point(36, 23, 22).w);
    EXPECT_FLOAT_EQ(band.nz, band.w - grid.point(36, 22, 23).w);
    EXPECT_GT(band.nx, 0.0f);
    // On the ring (w = 3) and far away (w < 0.15) the old normals stay, and so
    // do those of the outer planes.
    EXPECT_EQ(grid.point(33, 22, 22).nx, 7.0f);
    EXPECT_EQ(grid.point(2, 2, 2).nx, 7.0f);
    EXPECT_EQ(grid.point(0, 22, 22).ny, 7.0f);
    EXPECT_EQ(grid.point(44, 22, 22).ny, 7.0f);
}

TEST(MetaballGrid, InterpolationNeverEmitsANumberThatIsNot) {
    MetaballGrid grid(45);
    grid.addTorus(Vec3(22, 22, 22), Vec3(0, 1, 1), 11.0f, 3.0f, false);
    grid.computeNormals();
    // Damage a few points on the surface: values and normals that are no numbers.
    const float nan = std::nanf("");
    int damaged = 0;
    for (size_t p = 0; p < grid.points.size() && damaged < 40; p += 13) {
        GridPoint& point = grid.points[p];
        if (point.w > 0.5f && point.w < 1.5f) {
            point.w = (damaged % 2 == 0) ? nan : point.w;
            point.nx = nan;
            point.nz = nan;
            ++damaged;
        }
    }
    ASSERT_EQ(damaged, 40);
    int triangles = 0;
    std::vector<MeshVertex> out = polygonised(grid, &triangles);
    ASSERT_GT(triangles, 1000);
    for (const MeshVertex& v : out) {
        for (int c = 0; c < 3; ++c) {
            ASSERT_FALSE(std::isnan(v.position[c]));
            ASSERT_FALSE(std::isnan(v.normal[c]));
            ASSERT_GE(v.position[c], 0.0f);
            ASSERT_LE(v.position[c], 44.0f);
        }
    }
}

// Neighbouring cells name a shared grid edge in opposite directions; both must
// put its crossing at the very same place, or the surface shows cracks. The
// wobbling rings reach out of the grid, which closes them off.
TEST(MetaballGrid, SurfaceOfTheSceneIsClosedAndFacesOut) {
    for (bool wobble : {false, true}) {
        MetaballGrid grid(45);
        threeTori(grid, 2.0f * (wobble ? 13.0f : 3.0f), wobble);
        // And one through the grid's low x face.
        grid.addTorus(Vec3(2, 22, 22), Vec3(0, 1, 0), 11.0f, 3.0f, wobble);
        grid.computeNormals();
        ASSERT_GT(grid.point(1, 22, 33).w, 1.0f);
        int triangles = 0;
        std::vector<MeshVertex> out = polygonised(grid, &triangles);
        ASSERT_GT(triangles, 5000);

        using Point = std::tuple<float, float, float>;
        std::map<std::pair<Point, Point>, int> sides;
        int outward = 0, inward = 0;
        for (int t = 0; t < triangles; ++t) {
            const Vec3 p[3] = {positionOf(out[3 * t]), positionOf(out[3 * t + 1]),
                               positionOf(out[3 * t + 2])};
            for (int n = 0; n < 3; ++n) {
                const Vec3& a = p[n];
                const Vec3& b = p[(n + 1) % 3];
                ++sides[{{a.x, a.y, a.z}, {b.x, b.y, b.z}}];
            }
            // Counter-clockwise seen from where the normals point, down the field.
            const Vec3 facing = cross(p[1] - p[0], p[2] - p[0]);
            const Vec3 normal =
                normalOf(out[3 * t]) + normalOf(out[3 * t + 1]) + normalOf(out[3 * t + 2]);
            if (dot(facing, facing) < 1e-8f) {
                continue;
            }
            (dot(facing, normal) > 0.0f ? outward : inward) += 1;
        }
        // The normals are differences half a step off the surface: a few slivers
        // where it bends sharply may disagree with them, the rest may not.
        EXPECT_LT(inward, triangles / 200) << (wobble ? "wobbling" : "exact");
        EXPECT_GT(outward, triangles * 95 / 100);
        int open = 0;
        for (const auto& [side, count] : sides) {
            const int back = sides.count({side.second, side.first}) != 0
                                 ? sides.at({side.second, side.first})
                                 : 0;
            // A side of zero length (a crossing on a corner) pairs with itself.
            open += side.first != side.second && count != back;
        }
        EXPECT_EQ(open, 0) << (wobble ? "wobbling" : "exact");
    }
}
