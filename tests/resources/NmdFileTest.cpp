#include "resources/NmdFile.h"
#include "resources/ByteReader.h"

#include "support/GlTest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

std::unique_ptr<NmdNode> meshNode(const std::string& name, const std::string& material) {
    auto node = std::make_unique<NmdNode>();
    node->type = NmdNodeType::Mesh;
    node->name = name;
    node->mesh = std::make_unique<NmdMesh>();
    NmdMesh& mesh = *node->mesh;
    mesh.materialName = material;
    mesh.positions = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    mesh.hasNormals = true;
    mesh.normals = {0, 0, 1, 0, 0, 1, 0, 0, 1};
    mesh.hasExtra1 = true;
    mesh.extra1 = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    mesh.hasColours = true;
    mesh.colours = {1, 0, 0, 1, 0, 1, 0, 1, 0, 0, 1, 1};
    mesh.hasWords = true;
    mesh.words = {7, 8, 0xdeadbeef};
    mesh.hasTexture[0] = true;
    mesh.texture[0] = {0, -0.25f, 1, 0, 0, -1};
    mesh.hasTexture[2] = true;
    mesh.texture[2] = {0.5f, -0.5f, 0.5f, -0.5f, 0.5f, -0.5f};
    mesh.indices = {0, 1, 2};
    return node;
}

// Two materials; a mesh with children of every other type, one key of each kind.
NmdFile sampleModel() {
    NmdFile model;
    auto stone = std::make_unique<NmdMaterial>();
    stone->name = "stone";
    stone->maps[NmdMap::Diffuse] = "C:\\maps\\stone.jpg";
    stone->maps[NmdMap::Bump] = "stone_bump.png";
    for (int i = 0; i < 15; ++i) {
        stone->values[i] = 0.1f * static_cast<float>(i);
    }
    model.materials.push_back(std::move(stone));
    auto glass = std::make_unique<NmdMaterial>();
    glass->name = "glass";
    model.materials.push_back(std::move(glass));

    auto root = meshNode("rock", "glass");
    root->position[0] = 5.0f;
    root->rotation[3] = 0.5f;
    root->positionKeys.push_back({{1, 2, 3}, 0.0f});
    root->positionKeys.push_back({{4, 5, 6}, 2.0f});
    root->rotationKeys.push_back({{0, 0, 0, 1}, 1.0f});
    root->scaleKeys.push_back({{2, 2, 2}, 3.0f});
    auto extra2 = std::make_unique<NmdNode>();
    extra2->type = NmdNodeType::Extra2;
    extra2->name = "light";
    extra2->extra.first[1] = 11;
    extra2->extra.flags[1] = 1;
    extra2->extra.last = 99;
    auto extra3 = std::make_unique<NmdNode>();
    extra3->type = NmdNodeType::Extra3;
    extra3->name = "camera";
    extra3->extra.text = "";
    extra3->extra.first[2] = 33;
    extra3->children.push_back(meshNode("nested", "nothing"));
    root->children.push_back(std::move(extra2));
    root->children.push_back(std::move(extra3));
    model.nodes.push_back(std::move(root));
    auto plain = std::make_unique<NmdNode>();
    plain->type = NmdNodeType::Plain4;
    plain->name = "group";
    model.nodes.push_back(std::move(plain));
    return model;
}

std::vector<unsigned char> encoded(const NmdFile& model) {
    std::vector<unsigned char> bytes;
    std::string error;
    EXPECT_TRUE(encodeNmd(model, bytes, error)) << error;
    return bytes;
}

std::vector<unsigned char> emptyFile() {
    ByteWriter out;
    out.raw("NMD100", 6);
    out.u32(0);
    out.u32(0);
    return out.bytes;
}

} // namespace

TEST(NmdFile, RoundTripKeepsMaterialsTreeKeysAndChannels) {
    TempDir dir;
    std::string error;
    ASSERT_TRUE(writeNmdFile(dir.file("scene.nmd"), sampleModel(), error)) << error;
    NmdFile file;
    ASSERT_TRUE(file.readFile(dir.file("scene.nmd"))) << file.error;
    EXPECT_EQ(file.error, "");

    ASSERT_EQ(file.materials.size(), 2u);
    EXPECT_EQ(file.materials[0]->maps[NmdMap::Diffuse], "C:\\maps\\stone.jpg");
    EXPECT_EQ(file.materials[0]->maps[NmdMap::Bump], "stone_bump.png");
    EXPECT_FLOAT_EQ(file.materials[0]->values[NmdMaterial::SpecularLevel], 1.4f);

    ASSERT_EQ(file.nodes.size(), 2u);
    const NmdNode& rock = *file.nodes[0];
    EXPECT_EQ(rock.name, "rock");
    EXPECT_EQ(rock.position[0], 5.0f);
    EXPECT_EQ(rock.rotation[3], 0.5f);
    ASSERT_EQ(rock.positionKeys.size(), 2u);
    EXPECT_EQ(rock.positionKeys[1].value[2], 6.0f);
    EXPECT_EQ(rock.positionKeys[1].time, 2.0f);
    ASSERT_EQ(rock.rotationKeys.size(), 1u);
    ASSERT_EQ(rock.scaleKeys.size(), 1u);
    EXPECT_EQ(rock.scaleKeys[0].time, 3.0f);

    ASSERT_TRUE(rock.mesh);
    const NmdMesh& mesh = *rock.mesh;
    EXPECT_EQ(mesh.material, file.materials[1].get());
    EXPECT_EQ(mesh.vertexCount(), 3u);
    EXPECT_EQ(mesh.extra1[8], 9.0f);
    EXPECT_FALSE(mesh.hasExtra2);
    EXPECT_EQ(mesh.words[2], 0xdeadbeefu);
    EXPECT_EQ(mesh.texture[0][1], -0.25f);
    EXPECT_EQ(mesh.texture[2][1], -0.5f);
    EXPECT_TRUE(mesh.texture[1].empty());
    EXPECT_EQ(mesh.indices, (std::vector<uint32_t>{0, 1, 2}));

    ASSERT_EQ(rock.children.size(), 2u);
    EXPECT_EQ(rock.children[0]->type, NmdNodeType::Extra2);
    EXPECT_EQ(rock.children[0]->extra.last, 99u);
    EXPECT_EQ(rock.children[0]->extra.flags[1], 1);
    EXPECT_EQ(rock.children[1]->extra.first[2], 33u);
    ASSERT_EQ(rock.children[1]->children.size(), 1u);
    const NmdNode& nested = *rock.children[1]->children[0];
    EXPECT_EQ(nested.name, "nested");
    EXPECT_EQ(nested.mesh->material, nullptr);
    EXPECT_EQ(file.nodes[1]->type, NmdNodeType::Plain4);
}

TEST(NmdFile, TextureVIsNegatedInMemoryAndChannelsKeepFileOrder) {
    NmdFile model;
    auto node = std::make_unique<NmdNode>();
    node->type = NmdNodeType::Mesh;
    node->mesh = std::make_unique<NmdMesh>();
    node->mesh->positions = {1, 2, 3};
    node->mesh->hasTexture[0] = true;
    node->mesh->texture[0] = {0.1f, -0.2f};
    node->mesh->hasTexture[2] = true;
    node->mesh->texture[2] = {0.3f, -0.4f};
    model.nodes.push_back(std::move(node));
    std::vector<unsigned char> bytes = encoded(model);
    // After tag, counts, type, empty material name, V, T and 13 flags: the vertex.
    size_t vertexAt = 6 + 4 + 4 + 4 + 4 + 4 + 4 + 13;
    ByteReader in(bytes.data() + vertexAt, bytes.size() - vertexAt);
    EXPECT_EQ(in.f32("x"), 1.0f);
    in.f32("y");
    in.f32("z");
    EXPECT_EQ(in.f32("u0"), 0.1f);
    EXPECT_EQ(in.f32("v0"), 0.2f);
    EXPECT_EQ(in.f32("u2"), 0.3f);
    EXPECT_EQ(in.f32("v2"), 0.4f);
}

TEST(NmdFile, EmptyFileReadsWithoutError) {
    std::vector<unsigned char> bytes = emptyFile();
    NmdFile file;
    EXPECT_TRUE(file.read(bytes.data(), bytes.size()));
    EXPECT_EQ(file.error, "");
    EXPECT_TRUE(file.materials.empty());
    EXPECT_TRUE(file.nodes.empty());
}

TEST(NmdFile, WrongTagKeepsTheHistoricalErrorText) {
    std::vector<unsigned char> bytes = encoded(sampleModel());
    bytes[5] = '1';
    NmdFile file;
    EXPECT_FALSE(file.read(bytes.data(), bytes.size()));
    EXPECT_EQ(file.error, "Unknown file tag. Version conflict or damaged file");
    EXPECT_TRUE(file.materials.empty());
    EXPECT_TRUE(file.nodes.empty());
}

TEST(NmdFile, EveryTruncationIsRejectedAndLeavesNothing) {
    std::vector<unsigned char> bytes = encoded(sampleModel());
    for (size_t length = 0; length < bytes.size(); ++length) {
        std::vector<unsigned char> cut(bytes.begin(), bytes.begin() + length);
        NmdFile file;
        EXPECT_FALSE(file.read(cut.data(), cut.size())) << "length " << length;
        EXPECT_FALSE(file.error.empty());
        EXPECT_TRUE(file.materials.empty());
        EXPECT_TRUE(file.nodes.empty());
    }
}

TEST(NmdFile, DamageGetsItsOwnReason) {
    NmdFile file;

    std::vector<unsigned char> huge = emptyFile();
    huge[6] = huge[7] = huge[8] = huge[9] = 0xff;
    EXPECT_FALSE(file.read(huge.data(), huge.size()));
    EXPECT_NE(file.error.find("material count 4294967295"), std::string::npos) << file.error;

    ByteWriter unknownType;
    unknownType.raw("NMD100", 6);
    unknownType.u32(0);
    unknownType.u32(1);
    unknownType.u32(7);
    unknownType.bytes.resize(200);
    EXPECT_FALSE(file.read(unknownType.bytes.data(), unknownType.bytes.size()));
    EXPECT_NE(file.error.find("unknown node type 7"), std::string::npos) << file.error;

    NmdFile model = sampleModel();
    model.nodes[0]->mesh->indices = {0, 1, 2};
    std::vector<unsigned char> bytes = encoded(model);
    // The rock's index list ends right before its name: the third index is at
    // the name's offset - 4. Point it one past the last vertex.
    size_t nameAt = 0;
    for (size_t i = 0; i + 4 <= bytes.size(); ++i) {
        if (memcmp(&bytes[i], "rock", 4) == 0) {
            nameAt = i - 4;
            break;
        }
    }
    ASSERT_GT(nameAt, 4u);
    bytes[nameAt - 4] = 3;
    EXPECT_FALSE(file.read(bytes.data(), bytes.size()));
    EXPECT_NE(file.error.find("index 3"), std::string::npos) << file.error;
}

TEST(NmdFile, DeepNestingIsRejectedInsteadOfExhaustingTheStack) {
    // Every node holds exactly one child; the innermost holds none.
    ByteWriter out;
    out.raw("NMD100", 6);
    out.u32(0);
    out.u32(1);
    for (int depth = 0; depth < 100000; ++depth) {
        out.u32(0); // type
        out.u32(0); // name
        for (int f = 0; f < 10; ++f) {
            out.f32(0);
        }
        out.u32(0);
        out.u32(0);
        out.u32(0);
        out.u32(1); // one child
    }
    NmdFile file;
    EXPECT_FALSE(file.read(out.bytes.data(), out.bytes.size()));
    EXPECT_NE(file.error.find("nested deeper"), std::string::npos) << file.error;
}

TEST(NmdFile, WriterRefusesInconsistentMeshes) {
    std::vector<unsigned char> bytes;
    std::string error;
    NmdFile model = sampleModel();
    model.nodes[0]->mesh->normals.pop_back();
    EXPECT_FALSE(encodeNmd(model, bytes, error));
    EXPECT_NE(error.find("normals"), std::string::npos) << error;
    model = sampleModel();
    model.nodes[0]->mesh->indices = {0, 1, 3};
    EXPECT_FALSE(encodeNmd(model, bytes, error));
    model = sampleModel();
    model.nodes[1]->type = 9;
    EXPECT_FALSE(encodeNmd(model, bytes, error));
}

TEST(NmdFile, MissingFileSetsTheReason) {
    NmdFile file;
    EXPECT_FALSE(file.readFile("/nonexistent-folder/x.nmd"));
    EXPECT_NE(file.error.find("cannot open"), std::string::npos) << file.error;
}

// A file written byte by byte from the format's layout, not by our writer: one
// material "m" with only a diffuse map "d.png", and one mesh node "n" with one
// triangle, texture channels 0 and 2 (1 clear), one position key and a plain
// child of type 4.
TEST(NmdFileTest, HandWrittenBytesReadIntoTheModel) {
    std::vector<unsigned char> b;
    auto u32 = [&](uint32_t v) {
        for (int k = 0; k < 4; ++k) {
            b.push_back(static_cast<unsigned char>(v >> (8 * k)));
        }
    };
    auto text = [&](const char* s) {
        u32(static_cast<uint32_t>(strlen(s)));
        b.insert(b.end(), s, s + strlen(s));
    };
    const uint32_t one = 0x3f800000, two = 0x40000000, half = 0x3f000000, quarter = 0x3e800000;
    b.insert(b.end(), {'N', 'M', 'D', '1', '0', '0'});
    u32(1); // materials
    text("m");
    for (int slot = 0; slot < 11; ++slot) {
        text(slot == 1 ? "d.png" : "");
    }
    for (int k = 0; k < 15; ++k) {
        u32(k == 3 ? half : k == 12 ? one : 0); // diffuse red 0.5, opacity 1
    }
    u32(1); // top-level nodes
    u32(1); // a mesh
    text("m");
    u32(3);                                                     // vertices
    u32(1);                                                     // triangles
    b.insert(b.end(), {0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0}); // channels 0 and 2
    const uint32_t vertices[3][7] = {{0, 0, 0, 0, quarter, one, 0},
                                     {one, 0, 0, one, 0, 0, half},
                                     {0, two, 0, 0, one, half, quarter}};
    for (const auto& vertex : vertices) {
        for (uint32_t v : vertex) {
            u32(v);
        }
    }
    u32(0), u32(2), u32(1); // indices
    text("n");
    u32(0), u32(0), u32(two);            // rest position (0, 0, 2)
    u32(0), u32(0), u32(0), u32(one);    // rest rotation
    u32(one), u32(one), u32(one);        // rest scale
    u32(1), u32(0), u32(0);              // key counts
    u32(one), u32(0), u32(0), u32(half); // (1, 0, 0) at 0.5 s
    u32(1);                              // children
    u32(4);
    text("c");
    for (int k = 0; k < 10; ++k) {
        u32(0); // rest position, rotation, scale
    }
    u32(0), u32(0), u32(0), u32(0); // key counts, children

    NmdFile file;
    ASSERT_TRUE(file.read(b.data(), b.size())) << file.error;
    EXPECT_EQ(file.unreadBytes, 0u);
    ASSERT_EQ(file.materials.size(), 1u);
    EXPECT_EQ(file.materials[0]->maps[NmdMap::Diffuse], "d.png");
    EXPECT_EQ(file.materials[0]->maps[NmdMap::Ambient], "");
    EXPECT_EQ(file.materials[0]->values[NmdMaterial::Diffuse], 0.5f);
    EXPECT_EQ(file.materials[0]->values[NmdMaterial::Opacity], 1.0f);

    ASSERT_EQ(file.nodes.size(), 1u);
    const NmdNode& node = *file.nodes[0];
    EXPECT_EQ(node.name, "n");
    EXPECT_EQ(node.position[2], 2.0f);
    ASSERT_EQ(node.positionKeys.size(), 1u);
    EXPECT_EQ(node.positionKeys[0].value[0], 1.0f);
    EXPECT_EQ(node.positionKeys[0].time, 0.5f);
    ASSERT_EQ(node.children.size(), 1u);
    EXPECT_EQ(node.children[0]->type, NmdNodeType::Plain4);
    EXPECT_EQ(node.children[0]->name, "c");

    ASSERT_TRUE(node.mesh);
    const NmdMesh& mesh = *node.mesh;
    EXPECT_EQ(mesh.material, file.materials[0].get());
    EXPECT_TRUE(mesh.hasTexture[0] && !mesh.hasTexture[1] && mesh.hasTexture[2]);
    EXPECT_EQ(mesh.positions, (std::vector<float>{0, 0, 0, 1, 0, 0, 0, 2, 0}));
    // v is negated in memory.
    EXPECT_EQ(mesh.texture[0], (std::vector<float>{0, -0.25f, 1, -0.0f, 0, -1}));
    EXPECT_EQ(mesh.texture[2], (std::vector<float>{1, -0.0f, 0, -0.5f, 0.5f, -0.25f}));
    EXPECT_EQ(mesh.indices, (std::vector<uint32_t>{0, 2, 1}));
}

namespace {

// The fields of a small scene, written byte by byte from the format's layout:
// no material, one mesh node with normals and texture channel 0, three
// vertices, one triangle, two position keys.
struct SceneFields {
    float position[3][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    float normal[3][3] = {{0, 0, 1}, {0, 0.6f, 0.8f}, {0, 0, -1}};
    float uv[3][2] = {{0, 0}, {1, 0}, {0, 1}};
    uint32_t indices[3] = {0, 1, 2};
    float restPosition[3] = {0, 0, 2};
    float keyTimes[2] = {0.5f, 1.5f};
};

std::vector<unsigned char> sceneBytes(const SceneFields& s) {
    std::vector<unsigned char> b = {'N', 'M', 'D', '1', '0', '0'};
    auto u32 = [&](uint32_t v) {
        for (int k = 0; k < 4; ++k) {
            b.push_back(static_cast<unsigned char>(v >> (8 * k)));
        }
    };
    auto f32 = [&](float v) {
        uint32_t bits;
        memcpy(&bits, &v, 4);
        u32(bits);
    };
    u32(0);                                                     // materials
    u32(1);                                                     // top-level nodes
    u32(1);                                                     // a mesh
    u32(0);                                                     // no material name
    u32(3);                                                     // vertices
    u32(1);                                                     // triangles
    b.insert(b.end(), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}); // normals, channel 0
    for (int v = 0; v < 3; ++v) {
        for (float c : s.position[v]) {
            f32(c);
        }
        for (float c : s.normal[v]) {
            f32(c);
        }
        f32(s.uv[v][0]), f32(s.uv[v][1]);
    }
    for (uint32_t i : s.indices) {
        u32(i);
    }
    u32(1), b.push_back('n'); // name
    for (float c : s.restPosition) {
        f32(c);
    }
    f32(0), f32(0), f32(0), f32(1); // rest rotation
    f32(1), f32(1), f32(1);         // rest scale
    u32(2), u32(0), u32(0);         // key counts
    for (float t : s.keyTimes) {
        f32(1), f32(2), f32(3), f32(t);
    }
    u32(0); // children
    return b;
}

} // namespace

TEST(NmdFile, ValuesNoSceneHoldsAreDamage) {
    NmdFile file;
    std::vector<unsigned char> sound = sceneBytes(SceneFields());
    ASSERT_TRUE(file.read(sound.data(), sound.size())) << file.error;
    ASSERT_EQ(file.nodes.size(), 1u);

    // Vertices start at offset 43 and take 32 bytes each; the indices follow
    // at 139, then the node's name, transform and keys.
    struct Case {
        const char* what;
        void (*damage)(SceneFields&);
        const char* error;
    } cases[] = {
        {"a coordinate that is no number", [](SceneFields& s) { s.position[1][2] = std::nanf(""); },
         "vertex position at offset 75 holds nan"},
        {"an infinite texture coordinate", [](SceneFields& s) { s.uv[2][1] = HUGE_VALF; },
         "texture coordinate at offset 131 holds inf"},
        {"an infinite rest position", [](SceneFields& s) { s.restPosition[0] = -HUGE_VALF; },
         "rest position at offset 156 holds -inf"},
        {"a normal of no length", [](SceneFields& s) { s.normal[0][2] = 0; },
         "vertex normal at offset 55 has length 0.000000, not near 1"},
        {"a normal three units long", [](SceneFields& s) { s.normal[2][2] = 3; },
         "vertex normal at offset 119 has length 3.000000, not near 1"},
        {"an index past the vertices", [](SceneFields& s) { s.indices[2] = 3; },
         "index 3 at offset 147 is not below the vertex count 3"},
        {"keys out of time order", [](SceneFields& s) { s.keyTimes[1] = 0.25f; },
         "position key 1 of the track at offset 208 is at 0.250000 s, before the key ahead of "
         "it at 0.500000 s"},
    };
    for (const Case& c : cases) {
        SceneFields fields;
        c.damage(fields);
        std::vector<unsigned char> bytes = sceneBytes(fields);
        EXPECT_FALSE(file.read(bytes.data(), bytes.size())) << c.what;
        EXPECT_EQ(file.error.rfind(c.error, 0), 0u) << c.what << ": " << file.error;
        EXPECT_TRUE(file.nodes.empty()) << c.what;
    }
}
