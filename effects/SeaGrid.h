#pragma once

class IndexBuffer;
class VertexBuffer;

// The sea's 200 x 200 grid as the seas draw it: vertex 200 i + j at (j, i, 0)
// with a zero normal (the waves rewrite heights and normals every frame, all
// but the last row's and column's normals), and 199 x 199 quads in row order.
VertexBuffer* createSeaGrid(int usage);
IndexBuffer* createSeaGridIndices();
// The same quads with each row's cells from the last column to the first, so
// that a row can be drawn from either end.
IndexBuffer* createMirroredSeaGridIndices();

// How far the sea of the opening and closing shows: from this distance on the
// sea program ("psOcean" in data/meridian.cg) thins the water to nothing.
constexpr float seaReach = 130.0f;

// A run of cells of one grid row, as a range of one of the two index buffers.
struct SeaGridRun {
    bool mirrored; // in the buffer whose rows run from the last column to the first
    int first;     // first index
    int count;     // number of indices, four per cell
};

// The runs that hold every cell lying within `reach` of (x, y) on the sea
// plane, front to back for an eye above (x, y): rows nearest first, and in
// each row the cells from the eye outwards, first on the side it looks to
// (lookX, the x of its direction). Returns how many were written. A cell left
// out lies at least `reach` away from any eye above (x, y).
int nearSeaGridRuns(float x, float y, float lookX, float reach, SeaGridRun (&runs)[2 * 199]);
