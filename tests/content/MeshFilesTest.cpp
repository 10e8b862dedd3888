#include "GeneratedFolder.h"

#include "content/CameraShots.h"
#include "content/Models.h"
#include "platform/Gl.h"
#include "platform/GlWindow.h"
#include "resources/EbrFile.h"
#include "resources/EbrMesh.h"
#include "resources/Geometry.h"
#include "resources/NmdFile.h"
#include "resources/NmdScene.h"
#include "support/GlTest.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <string>

namespace {

// The first part's vertex records as the player's mesh loader builds them.
std::vector<float> loadedRecords(const std::string& path) {
    EbrMesh mesh(path, BufferUsage::Client, BufferUsage::Client);
    const VertexBuffer& vertices = *mesh.part(0)->vertexBuffers[0];
    return std::vector<float>(vertices.data, vertices.data + 8 * vertices.vertexCount);
}

// The ring is lit and culled by its normals: they must point away from the
// ring's core circle (midway between its radii around z), not into the metal.
TEST(MeshFiles, EbrNormalsFromTheLoaderPointOutOfTheRing) {
    const GeneratedFolder& run = generatedFolder();
    ASSERT_EQ(run.exitStatus, 0) << run.output;
    std::vector<EbrPart> parts;
    std::string error;
    ASSERT_TRUE(readEbrFile(run.path + "/data/ring.nmd", parts, error)) << error;
    ASSERT_EQ(parts.size(), 1u);
    const std::vector<float> records = loadedRecords(run.path + "/data/ring.nmd");
    ASSERT_EQ(records.size(), 8 * parts[0].vertices.size());
    const float core = (Models::ringSize.inner + Models::ringSize.outer) / 2;
    int inward = 0;
    for (size_t i = 0; i < parts[0].vertices.size(); ++i) {
        const float* r = &records[8 * i];
        const float radius = std::sqrt(r[0] * r[0] + r[1] * r[1]);
        const Vec3 fromCore(r[0] - r[0] * core / radius, r[1] - r[1] * core / radius, r[2]);
        inward += dot(fromCore, Vec3(r[3], r[4], r[5])) <= 0;
    }
    EXPECT_EQ(inward, 0);

    for (const char* file : {"data/leaf.ebr", "data/flowerhead.ebr", "data/cylcity.nmd"}) {
        EXPECT_TRUE(readEbrFile(run.path + "/" + file, parts, error)) << file << ": " << error;
        EXPECT_FALSE(parts.empty() || parts[0].indices.empty()) << file;
    }
}

const NmdMesh* firstMesh(const NmdFile& file, const std::string& name) {
    for (const auto& node : file.nodes)
        if (node->name == name)
            return node->mesh.get();
    return nullptr;
}

TEST(MeshFiles, ScenesCarryTheirMaterialsPicturesAndAnimation) {
    const GeneratedFolder& run = generatedFolder();
    ASSERT_EQ(run.exitStatus, 0) << run.output;

    NmdFile water;
    ASSERT_TRUE(water.readFile(run.path + "/data/watersphere.nmd")) << water.error;
    ASSERT_EQ(water.nodes.size(), 1u);
    const NmdMesh* sphere = water.nodes[0]->mesh.get();
    ASSERT_TRUE(sphere && sphere->hasNormals);
    for (size_t i = 0; i < sphere->positions.size(); i += 3) {
        const float* p = &sphere->positions[i];
        ASSERT_NEAR(std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]), 70.6f, 0.01f);
    }

    NmdFile planet;
    ASSERT_TRUE(planet.readFile(run.path + "/data/planet.nmd")) << planet.error;
    const NmdMesh* land = firstMesh(planet, "planet");
    ASSERT_TRUE(land && land->material);
    EXPECT_TRUE(land->hasTexture[1]) << "pictures are drawn from texture channel 1";
    float highest = 0;
    for (size_t i = 0; i < land->positions.size(); i += 3) {
        const float* p = &land->positions[i];
        highest = std::max(highest, std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]));
    }
    EXPECT_GT(highest, 72.0f) << "no land above the water sphere";

    NmdFile city;
    ASSERT_TRUE(city.readFile(run.path + "/data/citymaps/city.nmd")) << city.error;
    int animated = 0;
    for (const auto& node : city.nodes) {
        ASSERT_TRUE(node->mesh && node->mesh->material) << node->name;
        EXPECT_TRUE(node->mesh->hasTexture[1]) << node->name;
        animated += node->positionKeys.size() >= 2 || node->rotationKeys.size() >= 2;
        // Key times are milliseconds of the 24.23 s scene.
        for (const NmdVectorKey& key : node->positionKeys)
            EXPECT_LE(key.time, 25000.0f);
    }
    EXPECT_GT(animated, 0);
}

// Loads the scenes as their effects do, from inside the generated folder, so
// every map the materials name has to resolve to a picture the run wrote.
class SceneDrawing : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        ASSERT_EQ(generatedFolder().exitStatus, 0);
        ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
        ASSERT_EQ(chdir(generatedFolder().path.c_str()), 0);
    }
    void TearDown() override {
        EXPECT_EQ(chdir(previous), 0);
        GlTest::TearDown();
    }
    // Pixels of the frame that differ from the clear colour.
    int drawnPixels(int clearRed) {
        int drawn = 0;
        for (int y = 0; y < window().height; y += 8)
            for (int x = 0; x < window().width; x += 8)
                drawn += std::abs(pixel(x, y)[0] - clearRed) > 8;
        return drawn;
    }
    char previous[4096] = {};
};

TEST_F(SceneDrawing, CityShowsFromTheCityCamera) {
    NmdScene city("data/citymaps/city.nmd", true, "data/citymaps/");
    EXPECT_EQ(city.error, "");
    EXPECT_EQ(city.textures.size(), 13u);
    const ShotKey shot = interpolateShot(CameraShots::city(), 6.0f);
    glClearColor(0.55f, 0.6f, 0.7f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    city.setCamera(shot.eye.x, shot.eye.y, shot.eye.z, shot.target.x, shot.target.y, shot.target.z,
                   45.0f, 1.3333334f, 1.0f, 1000.0f);
    for (float x : {0.0f, -550.0f})
        for (float y : {0.0f, -378.0f}) {
            glPushMatrix();
            glTranslatef(x, y, 0);
            city.render(6000.0f);
            glPopMatrix();
        }
    expectNoGlError();
    const int total = (window().width / 8) * (window().height / 8);
    // Looking down into the streets: most of the frame is city, not sky.
    EXPECT_GT(drawnPixels(140), total / 2);
}

TEST_F(SceneDrawing, PlanetShowsFromThePlanetCamera) {
    NmdScene planet("data/planet.nmd", true, "data/");
    EXPECT_EQ(planet.error, "");
    EXPECT_EQ(planet.textures.size(), 2u);
    const ShotKey shot = interpolateShot(CameraShots::planet(), 4.0f);
    glClearColor(0.55f, 0.6f, 0.7f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    planet.setCamera(shot.eye.x, shot.eye.y, shot.eye.z, shot.target.x, shot.target.y,
                     shot.target.z, 45.0f, 4.0f / 3.0f, 1.0f, 1000.0f);
    planet.render(0.0f);
    expectNoGlError();
    const int total = (window().width / 8) * (window().height / 8);
    EXPECT_GT(drawnPixels(140), total / 10);
    // The planet stands in the middle of the picture.
    EXPECT_GT(std::abs(pixel(window().width / 2, window().height / 2)[0] - 140), 8);
}

} // namespace
