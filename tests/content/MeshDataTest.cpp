#include "content/MeshData.h"
#include "content/Models.h"

#include <gtest/gtest.h>

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
    for (const MeshData& mesh : {Models::ring(), Models::leaf(), Models::flowerHead(),
                                 Models::cylinderCity(), Models::sphere(10, 16, 8, nullptr)}) {
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

} // namespace
