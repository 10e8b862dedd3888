// What the tunnel learns of the cylinder city mesh, and how it decides to draw
// one city: its arithmetic alone, without drawing (the scene's own test compares
// pictures).
#include "effects/CityTunnel.h"

#include "content/Models.h"
#include "platform/Gl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// A mesh's vertices as position and normal records, as the loader lays them out.
struct Records {
    explicit Records(const MeshData& mesh) : indices(mesh.indices) {
        for (size_t v = 0; v < mesh.vertexCount(); ++v) {
            const Vec3 &p = mesh.positions[v], &n = mesh.normals[v];
            floats.insert(floats.end(), {p.x, p.y, p.z, n.x, n.y, n.z});
        }
    }
    MeshView view() const {
        MeshView mesh;
        mesh.vertices = floats.data();
        mesh.floatsPerVertex = 6;
        mesh.vertexCount = static_cast<int>(floats.size() / 6);
        mesh.indices = indices.data();
        mesh.indexCount = static_cast<int>(indices.size());
        return mesh;
    }
    std::vector<float> floats;
    std::vector<uint32_t> indices;
};

// A camera at the origin looking down -z with a 90 degree view, and a model-view
// that only moves the city by `offset` (column-major, as GL keeps them).
void camera(const Vec3& offset, float projection[16], float modelview[16]) {
    const float nearPlane = 1.0f, farPlane = 10000.0f;
    const float p[16] = {1,
                         0,
                         0,
                         0,
                         0,
                         1,
                         0,
                         0,
                         0,
                         0,
                         (farPlane + nearPlane) / (nearPlane - farPlane),
                         -1,
                         0,
                         0,
                         2 * farPlane * nearPlane / (nearPlane - farPlane),
                         0};
    const float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, offset.x, offset.y, offset.z, 1};
    for (int i = 0; i < 16; ++i) {
        projection[i] = p[i];
        modelview[i] = m[i];
    }
}

class CityTunnel : public ::testing::Test {
protected:
    Records city{Models::cylinderCity()};
    Records inside{Models::cylinderCityInside()};
    CityLayout layout = measureCity(city.view(), inside.view());
    float projection[16], modelview[16];
};

TEST_F(CityTunnel, MeasuresTheGeneratedCity) {
    ASSERT_TRUE(layout.usable);
    EXPECT_EQ(layout.halfLength, 1200.0f);
    EXPECT_GT(layout.insideRadius, 900.0f);
    EXPECT_LT(layout.insideRadius, 903.0f);
    // The tallest towers stand 1.8 x 380 above the drum.
    EXPECT_GT(layout.outerRadius, 1500.0f);
    EXPECT_LT(layout.outerRadius, 1600.0f);
    EXPECT_EQ(layout.outwardWinding, static_cast<unsigned>(GL_CCW));

    // One face wound against its normals: no telling out from in.
    Records turned = city;
    std::swap(turned.indices[4000], turned.indices[4001]);
    EXPECT_FALSE(measureCity(turned.view(), inside.view()).usable);
    // An inside that reaches beyond the city, or a part that cannot be read.
    EXPECT_FALSE(measureCity(inside.view(), city.view()).usable);
    Records broken = inside;
    broken.indices.back() = 1u << 30;
    EXPECT_FALSE(measureCity(city.view(), broken.view()).usable);
}

TEST_F(CityTunnel, DecidesWhatOfACityCanShow) {
    // Behind the eye: not drawn.
    camera(Vec3(0, 0, 5000), projection, modelview);
    EXPECT_FALSE(viewPiece(layout, modelview, projection, 1024, 1024, 8.0f).onScreen);

    // Ahead and beside the drum: outward faces only, no open end in sight.
    camera(Vec3(0, 0, -5000), projection, modelview);
    PieceView view = viewPiece(layout, modelview, projection, 1024, 1024, 8.0f);
    EXPECT_TRUE(view.onScreen);
    EXPECT_FALSE(view.whole);
    EXPECT_EQ(view.endBox[2], 0);

    // Beyond the +x end: the box holds that end's centre, at (-1300, 0, -3500)
    // from the eye, and its rim 900 above and below.
    camera(Vec3(-2500, 0, -3500), projection, modelview);
    view = viewPiece(layout, modelview, projection, 1024, 1024, 8.0f);
    ASSERT_FALSE(view.whole);
    const int* box = view.endBox;
    const float centreX = (-1300.0f / 3500.0f * 0.5f + 0.5f) * 1024.0f;
    const float rim = 900.0f / 3500.0f * 0.5f * 1024.0f;
    EXPECT_LE(box[0], centreX);
    EXPECT_GE(box[0] + box[2], centreX);
    EXPECT_LE(box[1], 512.0f - rim);
    EXPECT_GE(box[1] + box[3], 512.0f + rim);
    // No more than the square round the end, whose near edge stands 918 nearer.
    EXPECT_LE(box[3], 2.0f * 918.0f / (3500.0f - 918.0f) * 512.0f + 4.0f);

    // Nearer than the clearance beyond the towers: drawn whole.
    camera(Vec3(0, 0, -1650), projection, modelview);
    view = viewPiece(layout, modelview, projection, 1024, 1024, 100.0f);
    EXPECT_TRUE(view.onScreen);
    EXPECT_TRUE(view.whole);
}

TEST(CityTunnelEye, IsFoundBackThroughTurnScaleAndMove) {
    // The model-view turns 30 degrees about y, halves and moves by (3, -2, 7).
    const float c = std::cos(0.5235988f), s = std::sin(0.5235988f);
    const float m[16] = {0.5f * c, 0, -0.5f * s, 0, 0, 0.5f, 0, 0,
                         0.5f * s, 0, 0.5f * c,  0, 3, -2,   7, 1};
    const Vec3 eye = eyeInModelFrame(m);
    // Mapped back, the eye lands on the origin of eye space.
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(m[i] * eye.x + m[4 + i] * eye.y + m[8 + i] * eye.z + m[12 + i], 0.0f, 1e-4f);
    }
}

} // namespace
