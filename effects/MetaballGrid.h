#pragma once

#include "platform/Vec3.h"

#include <cstdint>
#include <vector>

// One point of the grid: the field's normal and value.
struct GridPoint {
    float nx, ny, nz, w;
};

// One vertex of the polygonised surface, normal first: the layout GL calls
// N3F_V3F, so the triangles go to GL as one client array.
struct MeshVertex {
    float normal[3];
    float position[3];
};

// A scalar field on size^3 points, polygonised at the iso level 1.0 with marching
// cubes. The point (x, y, z) is points[(z * size + y) * size + x] and stands at
// model position (x, y, z). The cells are linked to their eight corner points once
// at construction, in the corner order of MarchingCubes.h, so the per-frame pass
// reads corners without index arithmetic.
class MetaballGrid {
public:
    static constexpr float isoLevel = 1.0f;
    static constexpr int maxSize = 256;

    // Values 0; normals 0 inside and facing out on the grid's faces. A size
    // outside 2 .. maxSize raises an EngineError.
    explicit MetaballGrid(int size);

    // Every value to 0; the normals stay as they are.
    void resetValues();
    // The normals as a new grid has them: those of the outer planes face out of
    // the grid, all others are zero.
    void resetNormals();
    // Adds b^2 / d^2, clamped to 0 .. 3, where d is the distance to the torus's
    // core ring (centre c, unit axis a, major radius R, thickness b), over the
    // points of the torus's box (never the grid's outer planes). With wobble the ring bulges in x
    // and y with the sine of the other coordinate.
    void addTorus(Vec3 centre, Vec3 axis, float majorRadius, float thickness, bool wobble);
    // The normal of every inner point whose value lies in 0.15 .. 2.0 becomes the
    // forward difference (w - w(x+1), w - w(y+1), w - w(z+1)), pointing down the
    // field; other points keep theirs.
    void computeNormals();
    // Writes three vertices per triangle to out, cell by cell in storage order, each
    // triangle in the order (e0, e2, e1) of the table's (e0, e1, e2); returns the
    // triangle count. out must hold maxVertices().
    int polygonise(MeshVertex* out);

    // Five triangles in every cell: no frame can produce more.
    int maxVertices() const { return cellCount() * 15; }
    int cellCount() const { return (size - 1) * (size - 1) * (size - 1); }
    GridPoint& point(int x, int y, int z) { return points[(z * size + y) * size + x]; }
    // The case of cell (i, j, k): bit n set when corner n lies below the iso level.
    int caseIndex(int i, int j, int k) const;

    int size = 0;
    std::vector<GridPoint> points;
    // Eight point numbers per cell, cell (i, j, k) at (k * (size-1) + j) * (size-1) + i.
    std::vector<uint32_t> cellCorners;
    // The cell being polygonised, as its lowest point.
    Vec3 cellPosition;
    // Scratch of the polygoniser: 1 for each point below the iso level.
    std::vector<uint8_t> below;
};

// The same field as addTorus, written as plainly as the formula reads (the core
// point nearest p is found through u = r / |r|); the reference for the tests and
// the benchmark.
void addTorusPlainly(MetaballGrid& grid, Vec3 centre, Vec3 axis, float majorRadius, float thickness,
                     bool wobble);

// The index range lo .. hi (hi exclusive) that a torus's box covers on one axis,
// within 1 .. size - 2.
void torusBoxRange(float centre, float majorRadius, float thickness, int size, int* lo, int* hi);
