#include "effects/SeaGrid.h"

#include "effects/OceanWaves.h"
#include "resources/Geometry.h"

namespace {
constexpr int size = oceanGridSize;
constexpr int cells = size - 1;
} // namespace

VertexBuffer* createSeaGrid(int usage) {
    const int components[2] = {3, 3};
    VertexBuffer* grid = new VertexBuffer(2, components, size * size, usage, nullptr);
    float* vertices = grid->map(true, true);
    for (int i = 0; i < size; ++i) {
        for (int j = 0; j < size; ++j) {
            float* v = vertices + (i * size + j) * oceanFloatsPerVertex;
            v[0] = static_cast<float>(j);
            v[1] = static_cast<float>(i);
            v[2] = v[3] = v[4] = v[5] = 0.0f;
        }
    }
    grid->unmap();
    return grid;
}

IndexBuffer* createSeaGridIndices() {
    IndexBuffer* indices = new IndexBuffer(cells * cells * 4, BufferUsage::StaticDraw, nullptr);
    uint32_t* index = indices->map(false, true);
    for (int r = 0; r < cells; ++r) {
        for (int c = 0; c < cells; ++c) {
            *index++ = size * r + c;
            *index++ = size * r + c + 1;
            *index++ = size * (r + 1) + c + 1;
            *index++ = size * (r + 1) + c;
        }
    }
    indices->unmap();
    return indices;
}
