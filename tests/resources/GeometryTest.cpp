#include "resources/Geometry.h"
#include "platform/EngineError.h"
#include "platform/GlState.h"

#include "support/GlTest.h"

#include "platform/Gl.h"

namespace {

// Four quads side by side across the clip-space x axis, each in its own colour:
// x, y, z then r, g, b, a per vertex. Quad q covers x in [-1 + q/2, -1 + (q+1)/2].
std::vector<float> quadStrip() {
    const float colours[4][4] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}, {1, 1, 1, 1}};
    std::vector<float> v;
    for (int q = 0; q < 4; ++q) {
        float x0 = -1.0f + 0.5f * q, x1 = x0 + 0.5f;
        const float corners[4][2] = {{x0, -1}, {x1, -1}, {x1, 1}, {x0, 1}};
        for (const auto& c : corners) {
            v.insert(v.end(), {c[0], c[1], 0.0f});
            v.insert(v.end(), colours[q], colours[q] + 4);
        }
    }
    return v;
}

std::vector<uint32_t> quadIndices() {
    std::vector<uint32_t> indices;
    for (uint32_t q = 0; q < 4; ++q) {
        uint32_t b = q * 4;
        indices.insert(indices.end(), {b, b + 1, b + 2, b, b + 2, b + 3});
    }
    return indices;
}

const int positionAndColour[2] = {3, 4};

// Column of pixels in the middle of quad q in the 800-pixel-wide window.
int middleOf(int q) {
    return 100 + 200 * q;
}

} // namespace

class GeometryDrawing : public GlTest, public ::testing::WithParamInterface<int> {};

TEST_P(GeometryDrawing, DrawIndexedFromAFirstIndex) {
    std::vector<float> vertices = quadStrip();
    std::vector<uint32_t> indices = quadIndices();
    Geometry geometry;
    geometry.vertexBuffers[0] =
        new VertexBuffer(2, positionAndColour, 16, GetParam(), vertices.data());
    geometry.indexBuffer = new IndexBuffer(24, GetParam(), indices.data());
    geometry.addBinding(0, 0, 0);
    geometry.addBinding(0, 1, 11);

    geometry.draw();
    EXPECT_EQ(pixel(middleOf(0), 300), (std::array<int, 4>{255, 0, 0, 255}));
    EXPECT_EQ(pixel(middleOf(3), 300), (std::array<int, 4>{255, 255, 255, 255}));

    clear(0, 0, 0, 0, true, true, false);
    VertexBuffer& buffer = *geometry.vertexBuffers[0];
    buffer.enable(0, 0);
    buffer.enable(1, 11);
    geometry.indexBuffer->drawIndexed(2, 6, 12); // quads 1 and 2 only
    buffer.disable(0);
    buffer.disable(11);
    EXPECT_EQ(pixel(middleOf(0), 300)[1], 0);
    EXPECT_EQ(pixel(middleOf(1), 300), (std::array<int, 4>{0, 255, 0, 255}));
    EXPECT_EQ(pixel(middleOf(2), 300), (std::array<int, 4>{0, 0, 255, 255}));
    EXPECT_EQ(pixel(middleOf(3), 300)[0], 0);
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY));

    // -1 from a later first index stops at the last index instead of reading on.
    clear(0, 0, 0, 0, true, true, false);
    buffer.enable(0, 0);
    buffer.enable(1, 11);
    geometry.indexBuffer->drawIndexed(2, 18, -1);
    buffer.disable(0);
    buffer.disable(11);
    EXPECT_EQ(pixel(middleOf(2), 300)[2], 0);
    EXPECT_EQ(pixel(middleOf(3), 300), (std::array<int, 4>{255, 255, 255, 255}));
}

TEST_P(GeometryDrawing, MappedVerticesAreDrawnAfterUnmap) {
    Geometry geometry;
    geometry.vertexBuffers[0] = new VertexBuffer(2, positionAndColour, 16, GetParam(), nullptr);
    geometry.primitive = 3;
    geometry.addBinding(0, 0, 0);
    geometry.addBinding(0, 1, 11);
    std::vector<float> vertices = quadStrip();
    float* mapped = geometry.vertexBuffers[0]->map(false, true);
    ASSERT_NE(mapped, nullptr);
    std::copy(vertices.begin(), vertices.end(), mapped);
    // Move the second quad's colour to yellow through the mapping.
    for (int v = 4; v < 8; ++v) {
        mapped[v * 7 + 3] = 1.0f;
    }
    geometry.vertexBuffers[0]->unmap();

    geometry.draw();
    EXPECT_EQ(pixel(middleOf(1), 300), (std::array<int, 4>{255, 255, 0, 255}));
    EXPECT_EQ(pixel(middleOf(2), 300), (std::array<int, 4>{0, 0, 255, 255}));

    IndexBuffer indices(6, GetParam(), std::vector<uint32_t>{5, 4, 3, 2, 1, 0}.data());
    const uint32_t* read = indices.map(true, false);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read[0], 5u);
    EXPECT_EQ(read[5], 0u);
    indices.unmap();
}

TEST_P(GeometryDrawing, WithoutIndicesTheFirstFilledSlotGivesTheCount) {
    std::vector<float> vertices = quadStrip();
    Geometry geometry;
    geometry.primitive = 3;
    // Slot 3 holds all four quads, slot 5 a buffer of one vertex that feeds no array.
    geometry.vertexBuffers[3] =
        new VertexBuffer(2, positionAndColour, 16, GetParam(), vertices.data());
    geometry.vertexBuffers[5] =
        new VertexBuffer(2, positionAndColour, 1, GetParam(), vertices.data());
    geometry.addBinding(3, 0, 0);
    geometry.addBinding(3, 1, 11);
    geometry.addBinding(5, 0, 12);
    geometry.draw();
    for (int q = 0; q < 4; ++q) {
        EXPECT_NE(pixel(middleOf(q), 300), (std::array<int, 4>{0, 0, 0, 0})) << "quad " << q;
    }
}

INSTANTIATE_TEST_SUITE_P(StorageModes, GeometryDrawing,
                         ::testing::Values(BufferUsage::Client, BufferUsage::StaticDraw),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == 0 ? std::string("ClientMemory")
                                                    : std::string("BufferObject");
                         });

class VertexArrays : public GlTest {};

TEST_F(VertexArrays, InterleavedLayoutAndStride) {
    const int components[3] = {3, 3, 2};
    VertexBuffer buffer(3, components, 10, BufferUsage::Client, nullptr);
    EXPECT_EQ(buffer.floatsPerVertex, 8);
    EXPECT_EQ(buffer.strideBytes(), 32);
    EXPECT_EQ(buffer.offsetOf(2), 24);
    EXPECT_EQ(buffer.byteSize, 320);

    buffer.enable(2, 1);
    GLint stride = 0;
    glGetIntegerv(GL_TEXTURE_COORD_ARRAY_STRIDE, &stride);
    EXPECT_EQ(stride, 32);
    void* pointer = nullptr;
    glGetPointerv(GL_TEXTURE_COORD_ARRAY_POINTER, &pointer);
    EXPECT_EQ(pointer, static_cast<void*>(buffer.data + 6));
    buffer.disable(1);
}

TEST_F(VertexArrays, TextureNumbersSelectUnitsAndTwelveTouchesNothing) {
    const int components[1] = {2};
    VertexBuffer buffer(1, components, 4, BufferUsage::StaticDraw, nullptr);
    GLint unit = 0;
    for (int number : {1, 2}) {
        buffer.enable(0, number);
        glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE, &unit);
        EXPECT_EQ(unit, GL_TEXTURE0) << number;
        EXPECT_TRUE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
        buffer.disable(number);
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
    }
    buffer.enable(0, 9);
    glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE, &unit);
    EXPECT_EQ(unit, GL_TEXTURE7);
    buffer.disable(9);

    GLuint other = 0;
    glGenBuffers(1, &other);
    glBindBuffer(GL_ARRAY_BUFFER, other);
    buffer.enable(0, 12);
    GLint bound = 0;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), other);
    glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE, &unit);
    EXPECT_EQ(unit, GL_TEXTURE7);
    buffer.disable(12);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &bound);
    EXPECT_EQ(bound, 0);
    glDeleteBuffers(1, &other);
    glClientActiveTexture(GL_TEXTURE0);
}

TEST_F(VertexArrays, UnknownCodesRaise) {
    const int components[1] = {3};
    EXPECT_THROW(VertexBuffer(1, components, 1, 7, nullptr), EngineError);
    EXPECT_THROW(IndexBuffer(3, -1, nullptr), EngineError);
    VertexBuffer buffer(1, components, 1, BufferUsage::Client, nullptr);
    EXPECT_THROW(buffer.drawArrays(4, 0, -1), EngineError);
    Geometry geometry;
    EXPECT_THROW(geometry.addBinding(16, 0, 0), EngineError);
}
