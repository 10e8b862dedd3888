#include "effects/Billboards.h"

#include "core/Demo.h"
#include "platform/EngineError.h"
#include "platform/GlState.h"
#include "resources/Geometry.h"

#include <string>

namespace {

constexpr int floatsPerVertex = 11;
constexpr int cornerOffset = 3;
constexpr int texCoordOffset = 5;
constexpr int colourOffset = 7;

// The corners of a quad in units of its size, and their texture coordinates.
// The 3:4 half extents make a square sprite on a 4:3 screen.
constexpr float corners[4][2] = {{-3, -4}, {3, -4}, {3, 4}, {-3, 4}};
constexpr float texCoords[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};

} // namespace

Billboards::Billboards(Demo* demo) : Effect(demo) {
    name = "Billboards";
    const int components[4] = {3, 2, 2, 4};
    vertices = new VertexBuffer(4, components, 1, BufferUsage::Client, nullptr);
    resize(1, 1.0f);
    program = demo->getProgramPair("data/LumoraShaders.cg", "vsBillboard", "psPlainColored");
}

int Billboards::count() const {
    return vertices->vertexCount / 4;
}

void Billboards::resize(int count, float size) {
    vertices->update(nullptr, 4 * count);
    float* v = vertices->map(true, true);
    for (int i = 0; i < count; ++i) {
        for (int k = 0; k < 4; ++k) {
            float* vertex = v + (4 * i + k) * floatsPerVertex;
            vertex[0] = vertex[1] = vertex[2] = 0.0f;
            vertex[cornerOffset] = corners[k][0] * size;
            vertex[cornerOffset + 1] = corners[k][1] * size;
            vertex[texCoordOffset] = texCoords[k][0];
            vertex[texCoordOffset + 1] = texCoords[k][1];
            for (int c = 0; c < 4; ++c) {
                vertex[colourOffset + c] = 1.0f;
            }
        }
    }
    vertices->unmap();
}

namespace {

// The first float of billboard i's first vertex, mapped; the caller unmaps.
float* mapBillboard(VertexBuffer& vertices, int i) {
    if (i < 0 || i >= vertices.vertexCount / 4) {
        throw EngineError("billboard " + std::to_string(i) + " outside a set of " +
                          std::to_string(vertices.vertexCount / 4));
    }
    return vertices.map(true, true) + 4 * i * floatsPerVertex;
}

} // namespace

void Billboards::setPosition(int i, float x, float y, float z) {
    float* v = mapBillboard(*vertices, i);
    for (int k = 0; k < 4; ++k, v += floatsPerVertex) {
        v[0] = x;
        v[1] = y;
        v[2] = z;
    }
    vertices->unmap();
}

void Billboards::setSize(int i, float size) {
    float* v = mapBillboard(*vertices, i);
    for (int k = 0; k < 4; ++k, v += floatsPerVertex) {
        v[cornerOffset] = corners[k][0] * size;
        v[cornerOffset + 1] = corners[k][1] * size;
    }
    vertices->unmap();
}

void Billboards::setColour(int i, float r, float g, float b, float a) {
    float* v = mapBillboard(*vertices, i);
    for (int k = 0; k < 4; ++k, v += floatsPerVertex) {
        v[colourOffset] = r;
        v[colourOffset + 1] = g;
        v[colourOffset + 2] = b;
        v[colourOffset + 3] = a;
    }
    vertices->unmap();
}

void Billboards::render() {
    // The corner travels as the normal: the program reads (corner x, corner y, u).
    vertices->enable(0, 0);
    vertices->enable(1, 10);
    vertices->enable(2, 1);
    vertices->enable(3, 11);
    vertices->drawArrays(PrimitiveCode::Quads, 0, -1);
    vertices->disable(0);
    vertices->disable(10);
    vertices->disable(1);
    vertices->disable(11);
}
