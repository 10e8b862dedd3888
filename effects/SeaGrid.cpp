#include "effects/SeaGrid.h"

#include "effects/OceanWaves.h"
#include "resources/Geometry.h"

#include <algorithm>
#include <cmath>

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

IndexBuffer* createMirroredSeaGridIndices() {
    IndexBuffer* indices = new IndexBuffer(cells * cells * 4, BufferUsage::StaticDraw, nullptr);
    uint32_t* index = indices->map(false, true);
    for (int r = 0; r < cells; ++r) {
        for (int c = cells - 1; c >= 0; --c) {
            *index++ = size * r + c;
            *index++ = size * r + c + 1;
            *index++ = size * (r + 1) + c + 1;
            *index++ = size * (r + 1) + c;
        }
    }
    indices->unmap();
    return indices;
}

int nearSeaGridRuns(float x, float y, float lookX, float reach, SeaGridRun (&runs)[2 * cells]) {
    // How far the strip of row r lies from y.
    auto gap = [y](int r) { return std::max({0.0f, r - y, y - (r + 1.0f)}); };
    // The eye's column: cells up to it run leftwards, the others rightwards.
    const int middle = std::clamp(static_cast<int>(std::floor(x)), -1, cells - 1);
    int count = 0;
    int up = std::clamp(static_cast<int>(std::floor(y)), 0, cells - 1);
    int down = up - 1;
    while (up < cells || down >= 0) {
        const bool takeUp = down < 0 || (up < cells && gap(up) <= gap(down));
        const int r = takeUp ? up++ : down--;
        const float across = gap(r);
        if (across >= reach) {
            // The rows beyond on this side lie further still.
            if (takeUp) {
                up = cells;
            } else {
                down = -1;
            }
            continue;
        }
        const float half = std::sqrt(reach * reach - across * across);
        const int from = std::max(0, static_cast<int>(std::floor(x - half)));
        const int to = std::min(cells - 1, static_cast<int>(std::ceil(x + half)) - 1);
        // Leftwards: cells min(to, middle) down to from, in the mirrored buffer.
        const int leftFrom = std::min(to, middle);
        SeaGridRun left = {true, 4 * (cells * r + cells - 1 - leftFrom), 4 * (leftFrom - from + 1)};
        const int rightFrom = std::max(from, middle + 1);
        SeaGridRun right = {false, 4 * (cells * r + rightFrom), 4 * (to - rightFrom + 1)};
        if (lookX >= 0.0f) {
            std::swap(left, right);
        }
        for (const SeaGridRun& run : {left, right}) {
            if (run.count > 0) {
                runs[count++] = run;
            }
        }
    }
    return count;
}
