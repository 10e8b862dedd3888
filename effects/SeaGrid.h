#pragma once

class IndexBuffer;
class VertexBuffer;

// The sea's 200 x 200 grid as the seas draw it: vertex 200 i + j at (j, i, 0)
// with a zero normal (the waves rewrite heights and normals every frame, all
// but the last row's and column's normals), and 199 x 199 quads in row order.
VertexBuffer* createSeaGrid(int usage);
IndexBuffer* createSeaGridIndices();
