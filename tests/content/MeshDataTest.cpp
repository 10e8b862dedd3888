#include "content/MeshData.h"
#include "content/Models.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

// Counter-clockwise about the normal: the geometric normal agrees with the
// vertices' normals for every triangle.
void expectWoundToNormals(const MeshData& mesh) {
    int wrong = 0;
    for (size_t i = 0; i + 2 < mesh.indices.size(); i += 3) {
        const Vec3& a = mesh.positions[mesh.indices[i]];
        const Vec3& b = mesh.positions[mesh.indices[i + 1]];
        const Vec3& c = mesh.positions[mesh.indices[i + 2]];
        const Vec3 mean = mesh.normals[mesh.indices[i]] + mesh.normals[mesh.indices[i + 1]] +
                          mesh.normals[mesh.indices[i + 2]];
        wrong += dot(cross(b - a, c - a), mean) < 0;
    }
    EXPECT_EQ(wrong, 0);
}

TEST(MeshData, BoxFacesPointOutwardsAndCoverItsSize) {
    const MeshData cube = box({0, 0, -4}, {2, 3, 0}, 0.5f);
    EXPECT_EQ(cube.vertexCount(), 24u);
    EXPECT_EQ(cube.indices.size(), 36u);
    expectWoundToNormals(cube);
    for (size_t i = 0; i < cube.vertexCount(); ++i) {
        // Every face's normal points away from the box's centre.
        const Vec3 fromCentre = cube.positions[i] - Vec3(1, 1.5f, -2);
        EXPECT_GT(dot(fromCentre, cube.normals[i]), 0.0f);
    }
}

TEST(MeshData, OrientingAndBackFacesFollowTheNormals) {
    MeshData sheet;
    const uint32_t a = sheet.addVertex({0, 0, 0}, {0, 0, -1}, 0, 0);
    const uint32_t b = sheet.addVertex({1, 0, 0}, {0, 0, -1}, 1, 0);
    const uint32_t c = sheet.addVertex({0, 1, 0}, {0, 0, -1}, 0, 1);
    sheet.addTriangle(a, b, c); // counter-clockwise about +z, against its normals
    sheet.orientToNormals();
    expectWoundToNormals(sheet);
    sheet.addBackFaces();
    EXPECT_EQ(sheet.vertexCount(), 6u);
    EXPECT_EQ(sheet.normals[3].z, 1.0f);
    expectWoundToNormals(sheet);
}

TEST(MeshData, ModelsAreWoundToTheirNormalsAndSized) {
    for (const MeshData& mesh :
         {Models::ring(), Models::leaf(), Models::flowerHead(), Models::cylinderCity(),
          Models::cylinderCityInside(), Models::sphere(10, 16, 8, nullptr)}) {
        ASSERT_GT(mesh.indices.size(), 0u);
        ASSERT_EQ(mesh.uvs.size(), 2 * mesh.vertexCount());
        for (uint32_t i : mesh.indices)
            ASSERT_LT(i, mesh.vertexCount());
        expectWoundToNormals(mesh);
    }
    // The ring's band lies between its inner and outer radius around z (the
    // greetings' camera steers around it by these sizes).
    float inner = 1e9f, outer = 0, width = 0;
    for (const Vec3& p : Models::ring().positions) {
        inner = std::min(inner, std::sqrt(p.x * p.x + p.y * p.y));
        outer = std::max(outer, std::sqrt(p.x * p.x + p.y * p.y));
        width = std::max(width, std::fabs(p.z));
    }
    EXPECT_NEAR(inner, Models::ringSize.inner, 1e-3f);
    EXPECT_NEAR(outer, Models::ringSize.outer, 1e-3f);
    EXPECT_NEAR(width, Models::ringSize.halfWidth, 1e-3f);
}

TEST(MeshData, CityInsideIsTheDrumAndTheTowersWallsUpToItsRadius) {
    // The tunnel draws the inside instead of the city's inward faces where it
    // looks into a drum: it must be the same surfaces, texture and all. The city
    // is the drum's 49 x 9 vertices, then per tower a roof and four walls of four
    // vertices (two at the foot, two at the top); the inside is the same drum,
    // then per tower four walls from the foot up to the drum's radius.
    const MeshData city = Models::cylinderCity(), inside = Models::cylinderCityInside();
    const size_t drum = 49 * 9, towers = (city.vertexCount() - drum) / 20;
    ASSERT_EQ(city.vertexCount(), drum + 20 * towers);
    ASSERT_EQ(inside.vertexCount(), drum + 16 * towers);
    ASSERT_EQ(inside.indices.size(), 48 * 8 * 6 + towers * 4 * 6);
    for (size_t v = 0; v < drum; ++v) {
        ASSERT_EQ(length(inside.positions[v] - city.positions[v]), 0.0f);
    }
    float farthest = 0.0f;
    for (size_t tower = 0; tower < towers; ++tower)
        for (size_t wall = 0; wall < 4; ++wall) {
            const size_t c = drum + 20 * tower + 4 * (wall + 1), i = drum + 16 * tower + 4 * wall;
            for (size_t corner = 0; corner < 2; ++corner) {
                const size_t foot = c + corner, top = c + 3 - corner;
                // The foot as it stands; the cut where the wall reaches the drum's
                // radius, 40 up from the foot, along the wall towards its top.
                EXPECT_EQ(length(inside.positions[i + corner] - city.positions[foot]), 0.0f);
                const Vec3 up = normalize(city.positions[top] - city.positions[foot]);
                const Vec3 cut = inside.positions[i + 3 - corner];
                EXPECT_LT(length(cut - (city.positions[foot] + up * 40.0f)), 0.01f);
                const Vec3 p = cut;
                farthest = std::max(farthest, std::sqrt(p.y * p.y + p.z * p.z));
                // Texture coordinates run on along the wall's own.
                const float share = 40.0f / length(city.positions[top] - city.positions[foot]);
                for (int k = 0; k < 2; ++k) {
                    const float from = city.uvs[2 * foot + k], to = city.uvs[2 * top + k];
                    EXPECT_NEAR(inside.uvs[2 * (i + 3 - corner) + k], from + (to - from) * share,
                                1e-5f);
                }
                EXPECT_EQ(length(inside.normals[i + corner] - city.normals[foot]), 0.0f);
            }
        }
    // The cut stands on the drum's radius, at most half a tower's width aside.
    EXPECT_GT(farthest, 900.0f);
    EXPECT_LT(farthest, 902.1f);
}

} // namespace
