// The planet scene's world: closed surfaces (the scene culls their far sides),
// land and ice above the water sphere, and the sea program's look of that water.
#include "GeneratedFolder.h"

#include "content/Planet.h"
#include "platform/Gl.h"
#include "platform/ShaderContext.h"
#include "platform/Texture.h"
#include "resources/CgProgram.h"
#include "resources/Image.h"
#include "support/GlTest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <tuple>

namespace {

using Point = std::tuple<float, float, float>;

Point point(const Vec3& v) {
    return {v.x, v.y, v.z};
}

// Every edge of a triangle with area is walked once in each direction, by
// positions: no cracks, no loose flaps, one winding throughout.
void expectClosed(const MeshData& mesh, const char* name) {
    std::map<std::pair<Point, Point>, int> edges;
    int triangles = 0;
    for (size_t i = 0; i + 2 < mesh.indices.size(); i += 3) {
        const Point corner[3] = {point(mesh.positions[mesh.indices[i]]),
                                 point(mesh.positions[mesh.indices[i + 1]]),
                                 point(mesh.positions[mesh.indices[i + 2]])};
        if (corner[0] == corner[1] || corner[1] == corner[2] || corner[2] == corner[0])
            continue;
        ++triangles;
        for (int k = 0; k < 3; ++k)
            ++edges[{corner[k], corner[(k + 1) % 3]}];
    }
    ASSERT_GT(triangles, 100) << name;
    int unmatched = 0;
    for (const auto& [edge, count] : edges) {
        auto reverse = edges.find({edge.second, edge.first});
        unmatched += count != 1 || reverse == edges.end() || reverse->second != 1;
    }
    EXPECT_EQ(unmatched, 0) << name;
}

float radius(const Vec3& p) {
    return std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
}

TEST(Planet, SurfacesAreClosed) {
    expectClosed(Planet::surface(), "surface");
    expectClosed(Planet::water(), "water");
    expectClosed(Planet::moon(), "moon");
}

TEST(Planet, LandAndIceRiseAboveTheWater) {
    const MeshData land = Planet::surface();
    int dry = 0;
    for (const Vec3& p : land.positions)
        dry += radius(p) > Planet::kWaterRadius;
    // A world of seas and continents, not an ocean or a desert.
    const float share = static_cast<float>(dry) / land.vertexCount();
    EXPECT_GT(share, 0.25f);
    EXPECT_LT(share, 0.6f);
    // The ice caps stand out of the water at both poles.
    for (const Vec3& p : land.positions) {
        if (std::fabs(p.z) > 0.999f * radius(p)) {
            ASSERT_GT(radius(p), Planet::kWaterRadius) << p.z;
        }
    }
}

class WaterSphereShading : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        ASSERT_EQ(generatedFolder().exitStatus, 0);
        const std::vector<unsigned char> bytes =
            readFileBytes(generatedFolder().path + "/data/meridian.cg");
        source.assign(bytes.begin(), bytes.end());
    }
    void TearDown() override {
        ShaderContext::current()->disableProfile(ShaderProfile::Fragment);
        ShaderContext::current()->disableProfile(ShaderProfile::Vertex);
        GlTest::TearDown();
    }

    // The water sphere as the planet scene draws it: camPos exactly zero, the
    // scene's time, and the planet's turn of 10 degrees a second when turned.
    void drawWater(float time, bool turned) {
        CgProgramPair program(source.c_str(), "vsOcean", "psOcean", "data/meridian.cg");
        Image sky(generatedFolder().path + "/data/flare/bgenv2.jpg");
        Image waves(generatedFolder().path + "/data/waterbump.jpg");
        makeNormalMap(waves);
        Texture skyTexture(sky, TextureFilter::Mipmapped);
        Texture waveTexture(waves, TextureFilter::Mipmapped);
        const MeshData sphere = Planet::water();

        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(45.0, 4.0 / 3.0, 1.0, 1000.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        // From the sun's side, so its glint lies near the middle of the disc.
        gluLookAt(360, 360, -144, 0, 0, 0, 0, 0, -1);
        if (turned)
            glRotatef(10.0f * time, 0, 0, 1);
        glEnable(GL_DEPTH_TEST);
        program.bind();
        program.set1f("time", time);
        program.setTexture("tex0", &skyTexture);
        program.setTexture("tex1", &waveTexture);
        const float origin[4] = {0, 0, 0, 0};
        program.set4fv("camPos", origin);
        glBegin(GL_TRIANGLES);
        for (uint32_t i : sphere.indices) {
            const Vec3& n = sphere.normals[i];
            const Vec3& p = sphere.positions[i];
            glNormal3f(n.x, n.y, n.z);
            glVertex3f(p.x, p.y, p.z);
        }
        glEnd();
        program.disableTexture("tex0");
        program.disableTexture("tex1");
        program.unbind();
        expectNoGlError();
    }

    int brightness(int x, int y) {
        const auto p = pixel(x, y);
        return p[0] + p[1] + p[2];
    }

    std::string source;
};

TEST_F(WaterSphereShading, DeepBlueInTheMiddleHazeAtTheRim) {
    drawWater(0.0f, true);
    // Below the middle, away from the glint.
    const auto deep = pixel(400, 255);
    EXPECT_GT(deep[2], deep[1]);
    EXPECT_GT(deep[1], deep[0]);
    EXPECT_GT(deep[2], 60) << "the water is not black";
    // The disc's lower edge (radius 70.6 at distance 530: about 110 pixels).
    int rim = 0;
    for (int y = 300 - 130; y < 300; ++y)
        if (brightness(400, y) > 0) {
            rim = y;
            break;
        }
    ASSERT_GT(rim, 300 - 130) << "no sphere drawn";
    EXPECT_GT(brightness(400, rim + 2), brightness(400, 255) + 150) << "no haze at the rim";
}

TEST_F(WaterSphereShading, SunGlintStaysWithTheSunWhileThePlanetTurns) {
    drawWater(0.0f, true);
    const int still = brightness(400, 300);
    EXPECT_GT(still, 600) << "no glint facing the sun";

    // A quarter turn later, drawn in the turning frame: the glint has not moved.
    drawWater(9.0f, true);
    EXPECT_GT(brightness(400, 300), 600);

    // The same time without the turn: the sun is sought where it is not.
    drawWater(9.0f, false);
    EXPECT_LT(brightness(400, 300), 400);
}

} // namespace
