#include "core/Demo.h"
#include "platform/Texture.h"
#include "resources/EbrMesh.h"
#include "resources/Geometry.h"
#include "resources/Image.h"
#include "resources/ImageWriter.h"
#include "resources/TextFile.h"
#include "resources/WholeFile.h"

#include "support/GlTest.h"

#include "platform/Gl.h"

#include <cstdio>

namespace {

// Level 0 of a texture as RGB bytes, rows as uploaded.
std::vector<unsigned char> textureRgb(const Texture& texture) {
    std::vector<unsigned char> rgb(size_t(texture.width) * texture.height * 3);
    glBindTexture(GL_TEXTURE_2D, texture.textureName);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

// A 4 x 4 RGB PNG whose green channel is a ramp (so its normal map is not flat).
std::string writeRamp(const TempDir& dir, const std::string& name) {
    std::vector<unsigned char> pixels(4 * 4 * 3);
    for (int i = 0; i < 16; ++i) {
        pixels[i * 3] = 200;
        pixels[i * 3 + 1] = static_cast<unsigned char>((i % 4) * 30);
        pixels[i * 3 + 2] = 10;
    }
    std::string path = dir.file(name);
    EXPECT_TRUE(writePng(path, 4, 4, 3, pixels.data()));
    return path;
}

} // namespace

class TextureUpload : public GlTest {};

TEST_F(TextureUpload, ThreePixelWideRgbRowsArriveUnskewed) {
    std::vector<unsigned char> pixels(3 * 3 * 3);
    for (size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<unsigned char>(i * 9 + 1);
    }
    Image image(3, 3, PixelKind::Rgb8, pixels);
    Texture texture(image, TextureFilter::Nearest);
    EXPECT_EQ(textureRgb(texture), pixels);
}

class ResourceCache : public GlTest {};

TEST_F(ResourceCache, SameNameSameObjectDecodedOnce) {
    TempDir dir;
    std::string path = writeRamp(dir, "ramp.png");
    Demo demo;
    Texture* first = demo.getTexture(path);
    Image* image = demo.getImage(path);
    // The file is gone: a second decode would end the program.
    std::remove(path.c_str());
    EXPECT_EQ(demo.getTexture(path), first);
    EXPECT_EQ(demo.getImage(path), image);
    EXPECT_EQ(demo.fileCache.size(), 1u);
    EXPECT_EQ(demo.gpuCache.size(), 1u);
    EXPECT_EQ(first->filter, TextureFilter::Mipmapped);
    EXPECT_EQ(first->pixelKind, PixelKind::Rgb8);
}

TEST_F(ResourceCache, BumpConvertsTheCachedImageForLaterPlainTextures) {
    TempDir dir;
    std::string before = writeRamp(dir, "before.png");
    std::string after = writeRamp(dir, "after.png");
    Demo demo;
    std::vector<unsigned char> decoded(demo.getImage(before)->pixels(),
                                       demo.getImage(before)->pixels() + 48);

    // Plain first: the plain texture keeps the picture as decoded.
    Texture* plain = demo.getTexture(before);
    Texture* bump = demo.getBumpTexture(before);
    EXPECT_NE(plain, bump);
    EXPECT_EQ(textureRgb(*plain), decoded);
    EXPECT_NE(textureRgb(*bump), decoded);
    EXPECT_EQ(demo.gpuCache.count(before + ".bump"), 1u);

    // Bump first: a later plain texture of the file uploads the normal map.
    Texture* bumpFirst = demo.getBumpTexture(after);
    Texture* plainAfter = demo.getTexture(after);
    EXPECT_NE(plainAfter, bumpFirst);
    EXPECT_EQ(textureRgb(*plainAfter), textureRgb(*bumpFirst));
    EXPECT_EQ(textureRgb(*plainAfter), textureRgb(*bump));
    EXPECT_EQ(demo.getBumpTexture(after), bumpFirst);
}

TEST_F(ResourceCache, EmptyEntriesLoadAgainAndKeysAreExact) {
    TempDir dir;
    std::string path = writeRamp(dir, "Ramp.png");
    std::string error;
    ASSERT_TRUE(writeFileBytes(dir.file("ramp.png"), {'x'}, error));
    Demo demo;
    demo.fileCache[path] = nullptr;
    Image* image = demo.getImage(path);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(demo.fileCache[path], image);
    // Another letter case is another file, and another entry.
    TextFile* text = demo.getTextFile(dir.file("ramp.png"));
    EXPECT_EQ(text->text(), std::string("x"));
    EXPECT_EQ(demo.fileCache.size(), 2u);
}

TEST_F(ResourceCache, EbrMeshesAreKeptInClientMemoryWithNormals) {
    TempDir dir;
    EbrPart part;
    part.name = "tri";
    part.vertices = {{0, 0, 0, 0, 0.25f}, {1, 0, 0, 1, 0}, {0, 1, 0, 0, 1}};
    part.indices = {0, 1, 2};
    std::string error;
    ASSERT_TRUE(writeEbrFile(dir.file("ring.nmd"), {part, part}, error)) << error;
    Demo demo;
    EbrMesh* mesh = demo.getEbrMesh(dir.file("ring.nmd"));
    EXPECT_EQ(demo.getEbrMesh(dir.file("ring.nmd")), mesh);
    ASSERT_EQ(mesh->partCount(), 2);
    Geometry* geometry = mesh->part(1);
    VertexBuffer* vertices = geometry->vertexBuffers[0];
    ASSERT_NE(vertices, nullptr);
    EXPECT_EQ(vertices->usage, BufferUsage::Client);
    EXPECT_EQ(geometry->indexBuffer->usage, BufferUsage::Client);
    EXPECT_EQ(geometry->indexBuffer->indexCount, 3);
    EXPECT_EQ(geometry->bindings.size(), 3u);
    EXPECT_EQ(geometry->bindings[1].number, 10);
    EXPECT_EQ(geometry->bindings[2].number, 1);
    const float* record = vertices->data;
    EXPECT_EQ(record[5], -1.0f);
    EXPECT_EQ(record[7], -0.25f);
}

class EbrMeshUpload : public GlTest {};

TEST_F(EbrMeshUpload, BufferObjectsHoldTheSameRecords) {
    EbrPart part;
    part.vertices = {{0, 0, 0, 0, 0.5f}, {1, 0, 0, 1, 0}, {0, 1, 0, 0, 1}};
    part.indices = {0, 1, 2};
    EbrMesh mesh({part}, BufferUsage::StaticDraw, BufferUsage::StaticDraw);
    VertexBuffer* vertices = mesh.part(0)->vertexBuffers[0];
    const float* record = vertices->map(true, false);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record[8 + 0], 1.0f);
    EXPECT_EQ(record[5], -1.0f);
    EXPECT_EQ(record[7], -0.5f);
    vertices->unmap();
    EbrMesh empty(std::vector<EbrPart>{}, 0, 0);
    EXPECT_EQ(empty.partCount(), 0);
}

TEST(EbrMeshDeathTest, DamagedFileEndsTheProgramWithNameAndReason) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    std::string error;
    ASSERT_TRUE(writeFileBytes(dir.file("leaf.ebr"), {1, 0, 0, 0, 9}, error));
    EXPECT_EXIT(EbrMesh(dir.file("leaf.ebr"), 0, 0), testing::ExitedWithCode(1),
                "leaf.ebr: part count 1 at offset 0 is impossible");
}
