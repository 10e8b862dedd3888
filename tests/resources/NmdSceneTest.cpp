#include "resources/NmdScene.h"
#include "platform/GlState.h"
#include "platform/Texture.h"
#include "resources/ImageWriter.h"
#include "resources/WholeFile.h"

#include "support/GlTest.h"

#include "platform/Gl.h"

namespace {

// A quad of half size h around the origin in the z = 0 plane, with the texture
// channel the default program reads (channel 1 feeds texture unit 0).
std::unique_ptr<NmdNode> quadNode(const std::string& name, const std::string& material, float h) {
    auto node = std::make_unique<NmdNode>();
    node->type = NmdNodeType::Mesh;
    node->name = name;
    node->mesh = std::make_unique<NmdMesh>();
    NmdMesh& mesh = *node->mesh;
    mesh.materialName = material;
    mesh.positions = {-h, -h, 0, h, -h, 0, h, h, 0, -h, h, 0};
    mesh.hasTexture[1] = true;
    mesh.texture[1] = {0, 0, 1, 0, 1, -1, 0, -1};
    mesh.indices = {0, 1, 2, 0, 2, 3};
    return node;
}

std::unique_ptr<NmdMaterial> material(const std::string& name) {
    auto m = std::make_unique<NmdMaterial>();
    m->name = name;
    return m;
}

void writeFlatPicture(const std::string& path, unsigned char r, unsigned char g, unsigned char b) {
    std::vector<unsigned char> pixels;
    for (int i = 0; i < 16; ++i) {
        pixels.insert(pixels.end(), {r, g, b});
    }
    ASSERT_TRUE(writePng(path, 4, 4, 3, pixels.data()));
}

void writeModel(const std::string& path, const NmdFile& model) {
    std::string error;
    ASSERT_TRUE(writeNmdFile(path, model, error)) << error;
}

const std::array<int, 4> black = {0, 0, 0, 0};

} // namespace

class NmdSceneTest : public GlTest {
protected:
    void TearDown() override {
        disableFragmentPrograms();
        disableVertexPrograms();
        GlTest::TearDown();
    }
};

TEST_F(NmdSceneTest, DamagedFileKeepsTheErrorDrawsNothingAndSaysSo) {
    TempDir dir;
    std::string error;
    ASSERT_TRUE(
        writeFileBytes(dir.file("planet.nmd"), {'N', 'M', 'D', '1', '0', '1', 0, 0}, error));
    testing::internal::CaptureStderr();
    NmdScene scene(dir.file("planet.nmd"), true, "data/");
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(scene.error, "Unknown file tag. Version conflict or damaged file");
    EXPECT_NE(said.find("planet.nmd: Unknown file tag"), std::string::npos) << said;
    EXPECT_TRUE(scene.nodes.empty());
    scene.render(0.0f);
    EXPECT_EQ(pixel(400, 300), black);
}

TEST_F(NmdSceneTest, NamedMaterialsDrawTheirDiffuseMapThroughTheDefaultProgram) {
    TempDir dir;
    writeFlatPicture(dir.file("brick.png"), 0, 200, 100);
    NmdFile model;
    model.materials.push_back(material("brick"));
    model.materials[0]->maps[NmdMap::Diffuse] = "C:\\maps\\brick.png";
    model.materials.push_back(material(""));
    model.nodes.push_back(quadNode("wall", "brick", 0.5f));
    model.nodes.push_back(quadNode("plain", "", 0.1f));
    model.nodes[1]->position[0] = 0.75f;
    writeModel(dir.file("city.nmd"), model);

    NmdScene scene(dir.file("city.nmd"), true, dir.path());
    ASSERT_EQ(scene.error, "");
    EXPECT_EQ(scene.materials[0]->maps[NmdMap::Diffuse], dir.file("brick.png"));
    ASSERT_EQ(scene.textures.count(dir.file("brick.png")), 1u);
    EXPECT_EQ(scene.vertexPrograms.count(scene.materials[0].get()), 1u);
    EXPECT_EQ(scene.vertexPrograms.count(scene.materials[1].get()), 0u);
    EXPECT_EQ(scene.parameterNames[14], "emissioinColor");
    EXPECT_EQ(scene.geometries.size(), 2u);

    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    scene.render(0.0f);
    EXPECT_EQ(pixel(400, 300), (std::array<int, 4>{0, 200, 100, 255}));
    // The material without a name is never bound: fixed-function white.
    EXPECT_EQ(pixel(700, 300), (std::array<int, 4>{255, 255, 255, 255}));

    clear(0, 0, 0, 0, true, true, false);
    scene.useShaders = 0;
    disableFragmentPrograms();
    disableVertexPrograms();
    scene.render(0.0f);
    EXPECT_EQ(pixel(400, 300), (std::array<int, 4>{255, 255, 255, 255}));
}

TEST_F(NmdSceneTest, KeyTracksMoveNodesAndChildrenFollow) {
    TempDir dir;
    NmdFile model;
    auto parent = std::make_unique<NmdNode>();
    parent->name = "carrier";
    // Authoring x moves along drawing x.
    parent->positionKeys = {{{-0.5f, 0, 0}, 0.0f}, {{0.5f, 0, 0}, 2.0f}};
    parent->children.push_back(quadNode("box", "", 0.1f));
    model.nodes.push_back(std::move(parent));
    writeModel(dir.file("moving.nmd"), model);
    NmdScene scene(dir.file("moving.nmd"), false, "");

    scene.render(0.0f);
    EXPECT_NE(pixel(200, 300), black);
    EXPECT_EQ(pixel(600, 300), black);
    clear(0, 0, 0, 0, true, true, false);
    scene.render(2.0f);
    EXPECT_EQ(pixel(200, 300), black);
    EXPECT_NE(pixel(600, 300), black);
    // The scene leaves the modelview as it found it.
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_EQ(m[12], 0.0f);
}

TEST_F(NmdSceneTest, OnlyPictureMapsOfTheLoadedSlotsBecomeTextures) {
    TempDir dir;
    writeFlatPicture(dir.file("a.png"), 1, 2, 3);
    writeFlatPicture(dir.file("c.png"), 1, 2, 3);
    NmdFile model;
    model.materials.push_back(material("m"));
    NmdMaterial& m = *model.materials[0];
    m.maps[NmdMap::Ambient] = "x\\a.png";
    m.maps[NmdMap::Diffuse] = "x\\a.png";   // already loaded: shared
    m.maps[NmdMap::Shininess] = "x\\c.png"; // never rebased nor loaded
    m.maps[NmdMap::Bump] = "wall.old.jpg";  // not a picture by its first dot
    m.maps[NmdMap::Reflection] = "sky.tga";
    writeModel(dir.file("maps.nmd"), model);
    NmdScene scene(dir.file("maps.nmd"), true, dir.path() + "/");
    EXPECT_EQ(scene.textures.size(), 1u);
    EXPECT_EQ(scene.textures.count(dir.file("a.png")), 1u);
    EXPECT_EQ(scene.materials[0]->maps[NmdMap::Shininess], "x\\c.png");
    EXPECT_EQ(scene.materials[0]->maps[NmdMap::Bump], dir.file("wall.old.jpg"));

    NmdScene withoutTextures(dir.file("maps.nmd"), false, dir.path());
    EXPECT_TRUE(withoutTextures.textures.empty());
    EXPECT_EQ(withoutTextures.materials[0]->maps[NmdMap::Ambient], "x\\a.png");
}

TEST_F(NmdSceneTest, SetCameraKeepsTheValuesInParameterOrder) {
    TempDir dir;
    writeModel(dir.file("empty.nmd"), NmdFile());
    NmdScene scene(dir.file("empty.nmd"), false, "");
    scene.setCamera(1, 2, 3, 4, 5, 6, 60, 1.5f, 0.1f, 100);
    const float expected[10] = {1, 2, 3, 4, 5, 6, 60, 0.1f, 100, 1.5f};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(scene.camera[i], expected[i]) << i;
    }
    float projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_FLOAT_EQ(projection[11], -1.0f);
    projectionIdentity();
    modelviewIdentity();
}
