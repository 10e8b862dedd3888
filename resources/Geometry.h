#pragma once

#include "platform/Gl.h"

#include <cstdint>
#include <vector>

// Where buffer data lives: 0 keeps it in client memory, 1 to 6 create a buffer
// object with a usage hint. Other codes raise an EngineError.
namespace BufferUsage {
constexpr int Client = 0, DynamicDraw = 1, DynamicDraw2 = 2, DynamicCopy = 3, StaticDraw = 4,
              StaticRead = 5, StaticCopy = 6;
}

// The usage hint of a buffer-object code (1 to 6).
GLenum glBufferUsage(int code);

// Interleaved float vertices: attribute a of vertex i starts at float
// i * floatsPerVertex + the component counts of the attributes before a.
class VertexBuffer {
public:
    VertexBuffer(int attributeCount, const int* componentCounts, int vertexCount, int usage,
                 const float* data);
    ~VertexBuffer();
    VertexBuffer(const VertexBuffer&) = delete;
    VertexBuffer& operator=(const VertexBuffer&) = delete;

    // A positive count replaces the vertex count; data may be null.
    void update(const float* data, int newVertexCount);
    float* map(bool read, bool write);
    void unmap();
    // Binds attribute `attribute` of this buffer to the vertex array that the
    // attribute number names: 0 position, 1 to 9 texture units, 10 normal,
    // 11 colour, 12 to 16 nothing, 17 and above generic attributes.
    void enable(int attribute, int number);
    void disable(int number);
    // count -1 draws every vertex.
    void drawArrays(int primitive, int first, int count);

    int offsetOf(int attribute) const;
    int strideBytes() const { return floatsPerVertex * 4; }
    bool inBufferObject() const { return usage != BufferUsage::Client; }

    int usage = 0;
    GLuint bufferName = 0;
    int byteSize = 0;
    std::vector<int> componentCounts;
    int attributeCount = 0;
    int floatsPerVertex = 0;
    int vertexCount = 0;
    float* data = nullptr; // client storage, or the address of the last map

private:
    std::vector<float> storage;
};

// 32-bit indices.
class IndexBuffer {
public:
    IndexBuffer(int indexCount, int usage, const uint32_t* indices);
    ~IndexBuffer();
    IndexBuffer(const IndexBuffer&) = delete;
    IndexBuffer& operator=(const IndexBuffer&) = delete;

    uint32_t* map(bool read, bool write);
    void unmap();
    // Draws count indices (-1: all) starting at index `first`.
    void drawIndexed(int primitive, int first, int count);

    bool inBufferObject() const { return usage != BufferUsage::Client; }

    int usage = 0;
    uint32_t* data = nullptr;
    GLuint bufferName = 0;
    int indexCount = 0;

private:
    std::vector<uint32_t> storage;
};

struct AttributeBinding {
    int slot;
    int attribute; // within the slot's buffer
    int number;    // the attribute number it feeds
};

// One drawable: up to 16 vertex buffers, an optional index buffer, the bindings
// between them and the vertex arrays, and a primitive code. Owns its buffers.
class Geometry {
public:
    static constexpr int slotCount = 16;

    Geometry() = default;
    ~Geometry();
    Geometry(const Geometry&) = delete;
    Geometry& operator=(const Geometry&) = delete;

    void addBinding(int slot, int attribute, int number);
    // Enables every binding, draws all indices (or the first filled slot's
    // vertices when there is no index buffer) and disables the bindings again.
    void draw();

    IndexBuffer* indexBuffer = nullptr;
    VertexBuffer* vertexBuffers[slotCount] = {};
    std::vector<AttributeBinding> bindings;
    int primitive = 2;
};
