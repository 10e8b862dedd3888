// Meshes that share a material share one binding of its programs: the picture
// is the one per-mesh binding gives, with fewer binds, and nothing stays bound.
#include "platform/GlState.h"
#include "platform/ShaderContext.h"
#include "resources/ImageWriter.h"
#include "resources/NmdScene.h"

#include "support/GlTest.h"

namespace {

std::unique_ptr<NmdNode> square(const std::string& name, const std::string& material, float x,
                                float up) {
    auto node = std::make_unique<NmdNode>();
    node->type = NmdNodeType::Mesh;
    node->name = name;
    // The file's (x, y, z) is drawn at (x, z, -y).
    node->position[0] = x;
    node->position[2] = up;
    node->mesh = std::make_unique<NmdMesh>();
    NmdMesh& mesh = *node->mesh;
    mesh.materialName = material;
    const float h = 0.15f;
    mesh.positions = {-h, -h, 0, h, -h, 0, h, h, 0, -h, h, 0};
    mesh.hasTexture[1] = true;
    mesh.texture[1] = {0, 0, 1, 0, 1, -1, 0, -1};
    mesh.indices = {0, 1, 2, 0, 2, 3};
    return node;
}

std::unique_ptr<NmdMaterial> pictured(const std::string& name, const std::string& map) {
    auto m = std::make_unique<NmdMaterial>();
    m->name = name;
    m->maps[NmdMap::Diffuse] = map;
    return m;
}

void writeFlat(const std::string& path, unsigned char r, unsigned char g, unsigned char b) {
    std::vector<unsigned char> pixels;
    for (int i = 0; i < 16; ++i)
        pixels.insert(pixels.end(), {r, g, b});
    ASSERT_TRUE(writePng(path, 4, 4, 3, pixels.data()));
}

class NmdSceneBindingTest : public GlTest {
protected:
    void TearDown() override {
        disableFragmentPrograms();
        disableVertexPrograms();
        GlTest::TearDown();
    }
};

TEST_F(NmdSceneBindingTest, ARunOfMeshesOfOneMaterialIsBoundOnce) {
    TempDir dir;
    writeFlat(dir.file("brick.png"), 200, 0, 0);
    writeFlat(dir.file("moss.png"), 0, 180, 0);
    NmdFile model;
    model.materials.push_back(pictured("brick", "brick.png"));
    model.materials.push_back(pictured("moss", "moss.png"));
    // Two brick squares (the second a child of the first), one without a
    // material, one of moss, and brick again.
    model.nodes.push_back(square("left", "brick", -0.5f, 0.0f));
    model.nodes[0]->children.push_back(square("middle", "brick", 0.5f, 0.0f));
    model.nodes.push_back(square("plain", "", 0.5f, 0.0f));
    model.nodes.push_back(square("top", "moss", 0.0f, 0.5f));
    model.nodes.push_back(square("bottom", "brick", 0.0f, -0.5f));
    std::string error;
    ASSERT_TRUE(writeNmdFile(dir.file("town.nmd"), model, error)) << error;

    NmdScene scene(dir.file("town.nmd"), true, dir.path());
    ASSERT_EQ(scene.error, "");
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    scene.render(0.0f);

    const std::array<int, 4> brick = {200, 0, 0, 255}, moss = {0, 180, 0, 255},
                             white = {255, 255, 255, 255};
    EXPECT_EQ(pixel(200, 300), brick);
    EXPECT_EQ(pixel(400, 300), brick);
    // Between two materials no program is bound: fixed-function white.
    EXPECT_EQ(pixel(600, 300), white);
    EXPECT_EQ(pixel(400, 450), moss);
    EXPECT_EQ(pixel(400, 150), brick);

    EXPECT_EQ(scene.drawCounts.draws, 5);
    EXPECT_EQ(scene.drawCounts.materialBinds, 3);
    EXPECT_EQ(scene.drawCounts.textureBinds, 3);
    // The default program has no material or camera parameters.
    EXPECT_EQ(scene.drawCounts.parameterUploads, 0);

    // Nothing stays bound for what the caller draws next.
    ShaderContext* shaders = ShaderContext::current();
    ASSERT_NE(shaders, nullptr);
    EXPECT_EQ(shaders->activeProgram(ShaderProfile::Vertex), 0u);
    EXPECT_EQ(shaders->activeProgram(ShaderProfile::Fragment), 0u);

    // A second render binds afresh: the counts go on adding up.
    scene.render(0.0f);
    EXPECT_EQ(scene.drawCounts.materialBinds, 6);
}

} // namespace
