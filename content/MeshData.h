#pragma once

#include "platform/Vec3.h"

#include <cstdint>
#include <vector>

// A triangle mesh as the generator builds it: triangles counter-clockwise seen
// from the side their normal points to, texture v counted from the bottom of the
// picture (OpenGL's habit; the loaders' negation of v turns that into rows from
// the top). The file writers convert to each format's own conventions.
struct MeshData {
    std::vector<Vec3> positions;
    std::vector<Vec3> normals;
    std::vector<float> uvs; // u, v per vertex
    std::vector<uint32_t> indices;

    uint32_t addVertex(const Vec3& position, const Vec3& normal, float u, float v);
    void addTriangle(uint32_t a, uint32_t b, uint32_t c);
    // a, b, c, d counter-clockwise.
    void addQuad(uint32_t a, uint32_t b, uint32_t c, uint32_t d);
    void append(const MeshData& other);
    // The same triangles wound the other way with flipped normals, on their own
    // vertices: a sheet seen from both sides.
    void addBackFaces();
    void translate(const Vec3& offset);
    // Winds every triangle counter-clockwise about its vertices' mean normal, so
    // shape builders only need to get the normals right.
    void orientToNormals();
    size_t vertexCount() const { return positions.size(); }
};

// A grid of (columns + 1) x (rows + 1) vertices; place(s, t) gives the position
// and normal for s, t in [0, 1] and the texture coordinates are (s x uRepeat,
// t x vRepeat). Quads run counter-clockwise when the surface's s direction
// crossed with its t direction points along the normal.
template <typename Place>
MeshData gridSurface(int columns, int rows, float uRepeat, float vRepeat, Place place) {
    MeshData mesh;
    for (int r = 0; r <= rows; ++r)
        for (int c = 0; c <= columns; ++c) {
            const float s = static_cast<float>(c) / columns, t = static_cast<float>(r) / rows;
            Vec3 position, normal;
            place(s, t, position, normal);
            mesh.addVertex(position, normal, s * uRepeat, t * vRepeat);
        }
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            const uint32_t a = r * (columns + 1) + c;
            mesh.addQuad(a, a + 1, a + columns + 2, a + columns + 1);
        }
    return mesh;
}

// An axis-aligned box from low to high with each face's picture spanning
// uScale x vScale texture units per world unit (pictures repeat).
MeshData box(const Vec3& low, const Vec3& high, float uvPerUnit);
